// The auto search dialog: one panel per auto-search field, grouped by the
// description of the field's pipeline on tabs, checking the entered values
// against the field's data type. It edits copies of the report's fields
// and writes the values back on OK; Cancel changes nothing.
//
// Controls are named in panel order (edtValue1, edtValue1b, lbxValues1,
// btnAdd1, btnRemove1, cbxShowAll1, ...) so that scripts can reach them.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/comctrls.h"
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"
#include "report/engine/ppAutoSearchField.h"
#include "report/model/ppForms.h"

// What the three panels share: the show-all check box, the criterion's
// labels, the error and mandatory marks and the check of the values.
class TppAutoSearchPanel : public ui::TCustomPanel {
  CLS_DECLARE_CLASS(TppAutoSearchPanel, ui::TCustomPanel)
 public:
  explicit TppAutoSearchPanel(cls::TComponent* owner);

  // Builds the panel for FIELD as panel NUMBER (from 1); FIRST: the first
  // criterion of its container; ONTAB: on a tab sheet.
  void Init(TppAutoSearchField* field, int number, bool first, bool onTab);
  TppAutoSearchField* Field() const { return field_; }
  int Number() const { return number_; }
  // The control that takes the focus and carries the error mark.
  virtual ui::TWinControl* ValueControl() const = 0;
  // The values entered.
  virtual std::vector<std::string> Values() const = 0;
  // Checks the values unless all values are shown; shows or hides the
  // error. True when valid.
  bool Check();
  // Check, then the field takes the entered expression and ShowAllValues;
  // false (and nothing written) when invalid.
  bool Apply();
  bool ShowsError() const { return errorLabel_ && errorLabel_->Visible(); }
  std::string ErrorText() const { return errorLabel_ ? errorLabel_->Caption : std::string(); }
  ui::TShape* ErrorMark() const { return errorMark_; }
  ui::TCheckBox* ShowAllBox() const { return showAll_; }
  // The bottom line under a panel on a tab.
  ui::TBevel* BottomLine() const { return bottomLine_; }

 protected:
  // The value controls, placed from X at the operator's line; answers the
  // panel's width and height.
  virtual void BuildValues(int x, int& width, int& height) = 0;
  // The expression the values make.
  virtual std::string Expression() const = 0;
  // Where the check box sits (under the value controls for the simple
  // panel).
  virtual void PlaceCheckBox() {}
  // A typed value: the box is checked exactly when nothing is entered.
  void ValueTyped(const std::string& text);
  // Clicking the value area shows the values entered.
  void ValueClicked();
  ui::TEdit* NewEdit(const std::string& name, int x, int y, int width);
  ui::TLabel* NewLabel(const std::string& caption, int x, int y);
  int TextWidth(const std::string& text);
  std::string Name(const std::string& base, const char* suffix = "") const;

  ui::TCheckBox* showAll_ = nullptr;
  ui::TLabel* prefix_ = nullptr;
  ui::TLabel* alias_ = nullptr;
  ui::TLabel* operator_ = nullptr;
  ui::TLabel* errorLabel_ = nullptr;
  ui::TShape* errorMark_ = nullptr;
  ui::TShape* mandatoryMark_ = nullptr;
  ui::TBevel* bottomLine_ = nullptr;

 private:
  void ShowAllClicked();
  TppAutoSearchField* field_ = nullptr;
  int number_ = 0;
};

// One value edit; for soBlank and soNotBlank none.
class TppSimpleSearchPanel : public TppAutoSearchPanel {
  CLS_DECLARE_CLASS(TppSimpleSearchPanel, TppAutoSearchPanel)
 public:
  explicit TppSimpleSearchPanel(cls::TComponent* owner) : TppAutoSearchPanel(owner) {}
  ui::TWinControl* ValueControl() const override { return edit_; }
  std::vector<std::string> Values() const override;
  ui::TEdit* Edit() const { return edit_; }

 protected:
  void BuildValues(int x, int& width, int& height) override;
  std::string Expression() const override;
  void PlaceCheckBox() override;

 private:
  ui::TEdit* edit_ = nullptr;
};

// Two edits joined by "and".
class TppBetweenSearchPanel : public TppAutoSearchPanel {
  CLS_DECLARE_CLASS(TppBetweenSearchPanel, TppAutoSearchPanel)
 public:
  explicit TppBetweenSearchPanel(cls::TComponent* owner) : TppAutoSearchPanel(owner) {}
  ui::TWinControl* ValueControl() const override { return from_; }
  std::vector<std::string> Values() const override;

 protected:
  void BuildValues(int x, int& width, int& height) override;
  std::string Expression() const override;

 private:
  ui::TEdit* from_ = nullptr;
  ui::TEdit* to_ = nullptr;
};

// An edit, the list of values and the add and remove buttons.
class TppInListSearchPanel : public TppAutoSearchPanel {
  CLS_DECLARE_CLASS(TppInListSearchPanel, TppAutoSearchPanel)
 public:
  explicit TppInListSearchPanel(cls::TComponent* owner) : TppAutoSearchPanel(owner) {}
  ui::TWinControl* ValueControl() const override { return edit_; }
  std::vector<std::string> Values() const override;
  ui::TListBox* List() const { return list_; }
  // The edit's value, checked, joins the list unless listed already; the
  // edit is cleared. An empty value does nothing.
  void AddValue();
  // The selected value leaves the list; the selection stays at its index
  // or the last item. Nothing without a selection.
  void RemoveValue();

 protected:
  void BuildValues(int x, int& width, int& height) override;
  std::string Expression() const override;

 private:
  ui::TEdit* edit_ = nullptr;
  ui::TListBox* list_ = nullptr;
};

class TppAutoSearchDialog : public TppCustomAutoSearchDialog {
  CLS_DECLARE_CLASS(TppAutoSearchDialog, TppCustomAutoSearchDialog)
 public:
  explicit TppAutoSearchDialog(cls::TComponent* owner);
  void BeforeDestruction() override;

  // Copies of the fields in groups, one panel each, tabs for two or more
  // groups.
  void Init() override;
  void LanguageChanged() override;
  // The first panel's value control takes the focus.
  void Activate() override;

  // Checks every panel; marks the tabs with invalid panels and shows the
  // first; when all are valid, writes the values back and closes with OK.
  void btnOKClick();

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  TppAutoSearchPanel* Panels(int i) const { return panels_.at(static_cast<size_t>(i)); }
  TppAutoSearchGroups* Groups() const { return groups_; }
  ui::TPageControl* PageControl() const { return pageControl_; }
  ui::TImageList* TabImages() const { return tabImages_; }
  ui::TPopupMenu* TabMenu() const { return tabMenu_; }

  ui::TButton* btnOK = nullptr;
  ui::TButton* btnCancel = nullptr;

 protected:
  // Hooks: another panel class for a field, and each panel once made.
  virtual void GetPanelClassForField(TppAutoSearchField* field, cls::TClass& panelClass);
  virtual void PanelCreated(TppAutoSearchField* field, TppAutoSearchPanel* panel);

 private:
  void BuildPanels(ui::TWinControl* parent, TppAutoSearchGroup* group, bool onTab, int& width, int& height);
  // Moves the popup's tab one place (-1 left, +1 right), swapping tab orders.
  void MoveTab(int step);
  void TabMenuPopup();

  TppAutoSearchGroups* groups_ = nullptr;  // owned
  std::vector<TppAutoSearchField*> originals_, copies_;
  std::vector<TppAutoSearchPanel*> panels_;
  std::vector<ui::TTabSheet*> panelTabs_;  // the tab of each panel, or nullptr
  std::vector<std::pair<ui::TTabSheet*, TppAutoSearchGroup*>> tabGroups_;
  ui::TPageControl* pageControl_ = nullptr;
  ui::TImageList* tabImages_ = nullptr;
  ui::TPopupMenu* tabMenu_ = nullptr;
  ui::TMenuItem* moveLeft_ = nullptr;
  ui::TMenuItem* moveRight_ = nullptr;
  ui::TPanel* bottom_ = nullptr;
  ui::TLabel* legend_ = nullptr;
  ui::TShape* legendMark_ = nullptr;
};

// Publishes nothing; registers the panels with the class registry.
void ppRegisterAutoSearchDialogUnit();
