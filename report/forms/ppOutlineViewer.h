// TppOutlineViewer: the tree beside the page viewer that shows the outline
// kept on the page being viewed; a click on a node's label, or a new
// selection, takes the page viewer to the node's page. Its popup menu
// hides, expands and collapses the outline; showing or hiding it sends
// event 101 through its embedded communicator.
#pragma once
#include <cstdint>

#include "platform/ui/comctrls.h"
#include "platform/ui/menus.h"
#include "report/model/ppComm.h"
#include "report/model/ppIntf.h"
#include "report/output/ppDevice.h"
#include "report/output/ppOutlineDrawCommand.h"

class TppOutlineViewer : public ui::TCustomTreeView {
  CLS_DECLARE_CLASS(TppOutlineViewer, ui::TCustomTreeView)
 public:
  explicit TppOutlineViewer(cls::TComponent* owner);
  void BeforeDestruction() override;

  // The page viewer served: a control that answers IppPageViewer (linked
  // by free notification).
  ui::TControl* Viewer() const { return viewer_; }
  void SetViewer(ui::TControl* viewer);
  // The embedded communicator that sends the viewer's events; freeing it
  // from outside raises EPagewrightError.
  TppCommunicator* WalkieTalkie() const { return walkieTalkie_; }

  // Showing is Visible. Setting it (not while already at it) locks window
  // updates and raises the page viewer's refit flag meanwhile; the popup
  // menu (made when first shown) is attached to both viewers and captioned
  // for the new state; event 101 ("Visible") goes out.
  bool GetShowOutline() const { return Visible(); }
  void SetShowOutline(bool flag);

  // The command's tree as items (the root makes none; each item's data is
  // its node's page), expanded; an unfinished outline ends with an empty
  // item and "...more...".
  void LoadOutline(TppOutlineDrawCommand* command);
  // Follows PAGE: a selection of another page is cleared; a grown tree is
  // loaded, a finished one loses its "...more...".
  void SyncToPage(TppPage* page);
  // Without a selection: the first item of PAGENO.
  void SelectPage(int32_t pageNo);
  // No items, counts and flag reset, the popup menu gone from both viewers.
  void Clear();
  // Stops a load under way (the preview closes or stops its work); the
  // outline is loaded again when next asked.
  void StopLoading();
  // The popup menu's captions again, and the command reloaded.
  void LanguageChanged(TppOutlineDrawCommand* command);

  ui::TPopupMenu* OutlinePopupMenu() const { return popupMenu_; }
  int NodesLoaded() const { return nodesLoaded_; }
  bool LoadedComplete() const { return complete_; }
  int Busy() const { return busy_; }

  void Notification(cls::TComponent* c, cls::TOperation op) override;

 protected:
  // A new selection goes to its page (not while the viewer is busy itself).
  void Change(ui::TTreeNode* node) override;
  // Double clicks and right presses never reach the tree.
  void WndProc(ui::TMessage& message) override;
  // A click on a label goes to its page.
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;

 private:
  void GoToNodePage(ui::TTreeNode* node);
  // False when the load LOAD has stopped meanwhile.
  bool AddItems(ui::TTreeNode* parentItem, const TppOutlineNode* node, int load);
  // Hears the terminal (at most every few ms); false when load LOAD has
  // stopped meanwhile.
  bool Heard(int load);
  // The command's tree made, hearing the terminal; false when LOAD was
  // stopped meanwhile (the command may be gone).
  bool MakeTree(TppOutlineDrawCommand* command, int load);
  void CreatePopupMenu();
  void FreePopupMenu();
  void CaptionPopupMenu();
  void ToggleClick(cls::TObject*);
  void ExpandClick(cls::TObject*);
  void CollapseClick(cls::TObject*);
  void SendOutlineEvent();
  IppPageViewer* PageViewer() const { return dynamic_cast<IppPageViewer*>(viewer_); }

  ui::TControl* viewer_ = nullptr;
  TppCommunicator* walkieTalkie_ = nullptr;  // owned as a component
  ui::TPopupMenu* popupMenu_ = nullptr;      // owned as a component, made on demand
  int nodesLoaded_ = 0;
  bool complete_ = false;
  int busy_ = 0;
  int loading_ = 0;  // a tree made or loaded
  int loads_ = 0;    // counts loads begun and stopped
};

// Registers TppOutlineViewer (the forms layer's entry point calls it).
void ppRegisterOutlineViewerUnit();
