// Registration of report component classes: each is made known to the class
// library by name (so component streams can create it) and listed under a
// palette page for a designer.
//
// Callers register through two process-wide slots, which this unit's
// initialisation fills (ppRegisterModel calls it, before any layer above
// registers), so a caller never depends on the list itself.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/classes/classes.h"

// One registered class.
class TppRegComponent : public cls::TObject {
  CLS_DECLARE_CLASS(TppRegComponent, cls::TObject)
 public:
  TppRegComponent(cls::TClass componentClass, std::string paletteName, int palettePosition, std::string name,
                  int number, int descriptionMessage)
      : componentClass_(componentClass),
        paletteName_(std::move(paletteName)),
        palettePosition_(palettePosition),
        name_(std::move(name)),
        number_(number),
        descriptionMessage_(descriptionMessage) {}

  cls::TClass ComponentClass() const { return componentClass_; }
  const std::string& PaletteName() const { return paletteName_; }
  int PalettePosition() const { return palettePosition_; }
  // A second name and a number (empty and 0 in every registration here).
  const std::string& Name() const { return name_; }
  int Number() const { return number_; }
  // The library message that describes the class.
  int DescriptionMessage() const { return descriptionMessage_; }

 private:
  cls::TClass componentClass_;
  std::string paletteName_;
  int palettePosition_;
  std::string name_;
  int number_;
  int descriptionMessage_;
};

// The registered classes: a sorted string list of class names owning their
// entries. Listeners are called (with the list as sender) after every
// addition and every deletion, outside the list's lock.
class TppRegList : public cls::TStringList {
  CLS_DECLARE_CLASS(TppRegList, cls::TStringList)
 public:
  TppRegList();

  void AddListener(const cls::TNotifyEvent& listener);
  void RemoveListener(const cls::TNotifyEvent& listener);

  // Replaces an entry of the class's name (its class leaves the class
  // library's registry first), registers the class with the class library
  // and lists a new entry.
  void RegisterComponent(cls::TClass c, const std::string& paletteName, int palettePosition,
                         const std::string& name, int number, int descriptionMessage);
  // Removes the class from the class library's registry and its entry from
  // the list.
  void UnregisterComponent(cls::TClass c);
  // The entry of a class name (case ignored); nil when none. Valid until
  // the class is registered again or unregistered.
  TppRegComponent* FindEntry(const std::string& className) const;

 private:
  void Changed(int times);

  mutable std::mutex lock_;
  std::vector<cls::TNotifyEvent> listeners_;
};

// The slots.
using TppRegisterComponentProc = void (*)(cls::TClass c, const std::string& paletteName, int palettePosition,
                                          const std::string& name, int number, int descriptionMessage);
using TppUnregisterComponentProc = void (*)(cls::TClass c);
void ppSetRegistrationProcs(TppRegisterComponentProc registerProc, TppUnregisterComponentProc unregisterProc);
TppRegisterComponentProc ppRegisterComponentProc();
TppUnregisterComponentProc ppUnregisterComponentProc();

// The wrappers units call: through the slots; with a slot empty they raise
// cls::Exception "Unable to register component classes." ("unregister").
void ppRegisterComponent(cls::TClass c, const std::string& paletteName, int palettePosition,
                         const std::string& name, int number, int descriptionMessage);
void ppUnRegisterComponent(cls::TClass c);

// The list of the process; nil outside the unit's lifetime.
TppRegList* ppRegisteredComponents();
// The unit's initialisation: makes the list and fills the slots (a second
// call does nothing). The finalisation empties the slots and frees the
// entries and the list; classes stay in the class library's registry.
void ppRegisterRegistrationUnit();
void ppFinalizeRegistrationUnit();
