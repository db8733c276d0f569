// Image lists, page controls with their tab sheets, status bars with
// panels and tree views.
#pragma once
#include <deque>
#include <memory>
#include <vector>

#include "platform/ui/controls.h"

namespace ui {

// Images of one size, each with its transparent pixels.
class TImageList : public TComponent {
  CLS_DECLARE_CLASS(TImageList, TComponent)

 public:
  explicit TImageList(TComponent* AOwner);
  ~TImageList() override;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size clears the list.
  void SetSize(int width, int height);
  int Count() const { return static_cast<int>(images_.size()); }
  // Adds IMAGE (cut or padded to the list's size) with the pixels of
  // MASKCOLOR transparent; answers its index.
  int AddMasked(const gdi::TBitmap& image, gdi::TColor maskColor);
  void Delete(int index);
  void Clear() { images_.clear(); }
  // Draws image INDEX with its top-left at (X, Y); nothing for an index
  // outside the list.
  void Draw(gdi::TCanvas& canvas, int x, int y, int index) const;
  // The image's pixels (0xAARRGGBB, transparent ones with alpha 0).
  const std::vector<std::uint32_t>& Pixels(int index) const { return images_.at(static_cast<size_t>(index))->pixels; }

 private:
  struct Image {
    std::vector<std::uint32_t> pixels;
    gdi::TBitmap bitmap;
  };
  int width_ = 16, height_ = 16;
  std::vector<std::unique_ptr<Image>> images_;
};

class TPageControl;

// One page of a page control; its tab shows Caption and image ImageIndex.
class TTabSheet : public TWinControl {
  CLS_DECLARE_CLASS(TTabSheet, TWinControl)

 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  // Joins (or with nullptr leaves) a page control, as its last page.
  void SetPageControl(TPageControl* pc);
  // The index among the pages; setting it moves the page there.
  int PageIndex() const;
  void SetPageIndex(int i);
  int ImageIndex = -1;
  bool TabVisible = true;

 protected:
  void Paint() override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
};

class TPageControl : public TWinControl {
  CLS_DECLARE_CLASS(TPageControl, TWinControl)

 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int i) const { return pages_.at(static_cast<size_t>(i)); }
  TTabSheet* ActivePage() const { return active_; }
  // Shows PAGE (one of this control's, or nullptr) and hides the others.
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
  void SetActivePageIndex(int i);
  // The images the tabs show (not owned).
  TImageList* Images = nullptr;
  // After the user changed the page.
  TNotifyEvent OnChange;

  // The tabs run along the top; the pages fill the rest, inside a frame.
  static constexpr int kTabHeight = 24;
  win::RECT TabRect(int index);
  // The page whose tab holds the point, or -1.
  int IndexOfTabAt(int x, int y);
  win::RECT AlignArea() const override;

 protected:
  void Paint() override;
  // A left press on a tab selects its page.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  friend class TTabSheet;
  void Remove(TTabSheet* page);
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

// ---- status bar

enum class TStatusPanelBevel { pbNone, pbLowered, pbRaised };

struct TStatusPanel {
  std::string Text;  // Big5
  int Width = 50;
  TAlignment Alignment = TAlignment::taLeftJustify;
  TStatusPanelBevel Bevel = TStatusPanelBevel::pbLowered;
};

// The panels of a status bar; a panel stays where it is while others
// are added.
class TStatusPanels {
 public:
  TStatusPanel& Add() { return panels_.emplace_back(); }
  int Count() const { return static_cast<int>(panels_.size()); }
  TStatusPanel& operator[](int i) { return panels_.at(static_cast<size_t>(i)); }
  const TStatusPanel& operator[](int i) const { return panels_.at(static_cast<size_t>(i)); }
  void Clear() { panels_.clear(); }

 private:
  std::deque<TStatusPanel> panels_;
};

// A bar along the bottom of its parent: its panels side by side (the
// last one takes the rest of the width), or with SimplePanel one panel
// showing SimpleText.
class TStatusBar : public TWinControl {
  CLS_DECLARE_CLASS(TStatusBar, TWinControl)

 public:
  explicit TStatusBar(TComponent* AOwner);
  TStatusPanels Panels;
  bool SimplePanel = false;
  std::string SimpleText;  // Big5
  // Panel I's area, in the bar's pixels (empty outside the panels).
  win::RECT PanelRect(int i) const;

 protected:
  void Paint() override;
};

// ---- tree view

class TTreeNodes;
class TCustomTreeView;

// A node of a tree view: a caption, a value of the caller's and ordered
// children, which it owns.
class TTreeNode {
 public:
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;
  ~TTreeNode();

  std::string Text;  // Big5
  intptr_t Data = 0;

  TTreeNode* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(children_.size()); }
  TTreeNode* Item(int i) const { return children_.at(static_cast<size_t>(i)).get(); }
  bool HasChildren() const { return !children_.empty(); }
  // The place among its siblings, and among all nodes in pre-order.
  int Index() const;
  int AbsoluteIndex() const;
  int Level() const;
  TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front().get(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back().get(); }
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  // Pre-order successor, nullptr at the end.
  TTreeNode* GetNext() const;
  // Every parent is expanded.
  bool IsVisible() const;
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool v);
  // RECURSE does the same to every descendant.
  void Expand(bool recurse);
  void Collapse(bool recurse);
  bool Selected() const;
  TTreeNodes* Owner() const { return owner_; }
  // Removes the node with its children.
  void Delete();

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  TTreeNode(TTreeNodes* owner, TTreeNode* parent) : owner_(owner), parent_(parent) {}
  TTreeNodes* owner_;
  TTreeNode* parent_;
  std::vector<std::unique_ptr<TTreeNode>> children_;
  mutable size_t indexHint_ = 0;  // where Index last found it
  bool expanded_ = false;
};

// The nodes of a tree view.
class TTreeNodes {
 public:
  explicit TTreeNodes(TCustomTreeView& view) : view_(view), root_(new TTreeNode(this, nullptr)) {}
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;
  ~TTreeNodes();

  // A node after the last sibling of SIBLING (at the top level for nullptr).
  TTreeNode* Add(TTreeNode* sibling, const std::string& text) { return AddObject(sibling, text, 0); }
  TTreeNode* AddObject(TTreeNode* sibling, const std::string& text, intptr_t data);
  // A node after PARENT's last child (at the top level for nullptr).
  TTreeNode* AddChild(TTreeNode* parent, const std::string& text) { return AddChildObject(parent, text, 0); }
  TTreeNode* AddChildObject(TTreeNode* parent, const std::string& text, intptr_t data);
  void Delete(TTreeNode* node);
  void Clear();
  // All nodes, at any depth; Item counts them in pre-order.
  int Count() const;
  TTreeNode* Item(int absoluteIndex) const;
  TTreeNode* GetFirstNode() const { return root_->GetFirstChild(); }
  // The top-level nodes.
  int TopCount() const { return root_->Count(); }
  TTreeNode* Top(int i) const { return root_->Item(i); }
  TCustomTreeView& View() const { return view_; }

 private:
  friend class TTreeNode;
  TCustomTreeView& view_;
  std::unique_ptr<TTreeNode> root_;
};

// Where a point of a tree view lies (a set).
enum THitTest : unsigned { htNowhere = 1, htOnButton = 2, htOnIndent = 4, htOnLabel = 8, htToRight = 16, htAbove = 32,
                           htBelow = 64 };
using THitTests = unsigned;

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

// A tree of captions, a row per visible node, indented by level with a
// plus or minus box before a node that has children (top-level ones only
// with ShowRoot). A left press on a label selects the node; one on a box
// expands or collapses it, as a double click on the row does.
class TCustomTreeView : public TWinControl {
  CLS_DECLARE_CLASS(TCustomTreeView, TWinControl)

 public:
  explicit TCustomTreeView(TComponent* AOwner);
  ~TCustomTreeView() override;
  TTreeNodes& Items() { return items_; }

  TTreeNode* Selected() const { return selected_; }
  // A change runs Change.
  void SetSelected(TTreeNode* node);
  // The node under the mouse while HotTrack is on.
  TTreeNode* HotNode() const { return hot_; }
  void FullExpand();
  void FullCollapse();

  bool HotTrack = false;
  bool ReadOnly = false;
  bool ShowRoot = true;
  bool ShowButtons = true;
  bool ToolTips = true;
  bool TabStop = true;
  int Indent = 19;
  TBorderStyle BorderStyle = TBorderStyle::bsSingle;
  TTVChangedEvent OnChange;

  int ClientWidth() const override;
  int ClientHeight() const override;
  win::PT ClientOffset() const override;
  int RowHeight();
  // The visible nodes in row order.
  std::vector<TTreeNode*> VisibleNodes() const;
  // The node's row (TEXTONLY: its label) in the control's pixels, as
  // the mouse gives them; empty when the node is hidden.
  win::RECT DisplayRect(TTreeNode* node, bool textOnly);
  TTreeNode* GetNodeAt(int x, int y);
  THitTests GetHitTestInfoAt(int x, int y);

 protected:
  // The selection changed to NODE: OnChange.
  virtual void Change(TTreeNode* node);
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void DblClick() override;
  void WndProc(TMessage& message) override;

 private:
  friend class TTreeNodes;
  friend class TTreeNode;
  // A node going away.
  void NodeDeleting(TTreeNode* node);
  // The left edge of the node's button column and of its label.
  int ButtonLeft(const TTreeNode* node) const;
  bool HasButton(const TTreeNode* node) const;
  TTreeNodes items_;
  TTreeNode* selected_ = nullptr;
  TTreeNode* hot_ = nullptr;
  win::PT lastDown_{-1, -1};
};

class TTreeView : public TCustomTreeView {
  CLS_DECLARE_CLASS(TTreeView, TCustomTreeView)

 public:
  using TCustomTreeView::TCustomTreeView;
};

}  // namespace ui
