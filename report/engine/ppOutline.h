// The report outline: while a report generates, a tree of navigation
// nodes (the report and each section subreport, each group break, and a
// "Page n" node under the innermost open node at each page end). Node
// creators mirror the outline participants (report, groups, subreports)
// and listen to their events; at each page end the report stores a copy
// of the tree in the page as a TppOutlineDrawCommand.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "report/model/ppRelatv.h"
#include "report/output/ppOutlineNode.h"

class TppCustomEngine;
class TppCustomReport;
class TppOutline;
class TppOutlineNodeCreator;
class TppOutlineSettings;

// What the outline asks of the report, its groups and its subreports.
class IppOutlineParticipant {
 public:
  virtual ~IppOutlineParticipant() = default;
  // The participants below this one, in order.
  virtual void OutlineChildren(std::vector<cls::TObject*>& list) = 0;
  // The class of creator made for this participant.
  virtual cls::TClass OutlineNodeCreatorClass() = 0;
  virtual TppOutlineSettings* OutlineSettings() = 0;
  // The settings changed (not while loading or reading).
  virtual void OutlineSettingsChanged() = 0;
};

// Whether a participant's nodes are shown.
class TppOutlineSettings : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppOutlineSettings, cls::TPersistent)
 public:
  explicit TppOutlineSettings(cls::TComponent* owner = nullptr) : owner_(owner) {}
  // From other outline settings: CreateNode, and the owner hears of it;
  // other classes raise the assignment error.
  void Assign(cls::TPersistent* source) override;
  cls::TComponent* Owner() const { return owner_; }

  bool CreateNode() const { return createNode_; }
  void SetCreateNode(bool v);

  static void RegisterProperties();

 protected:
  // Tells the owner, unless it is loading or being read.
  void Changed();

 private:
  cls::TComponent* owner_;
  bool createNode_ = true;
};

// The report's settings: page nodes, the outline at all, and whether the
// preview shows it.
class TppOutlineReportSettings : public TppOutlineSettings {
  CLS_DECLARE_CLASS(TppOutlineReportSettings, TppOutlineSettings)
 public:
  using TppOutlineSettings::TppOutlineSettings;
  // CreatePageNodes and Enabled, then CreateNode.
  void Assign(cls::TPersistent* source) override;

  bool CreatePageNodes() const { return createPageNodes_; }
  void SetCreatePageNodes(bool v) { createPageNodes_ = v; }
  bool Enabled() const { return enabled_; }
  // Off turns Visible off too.
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  // Only while Enabled; otherwise Visible stays False.
  void SetVisible(bool v) { visible_ = enabled_ && v; }

  static void RegisterProperties();

 private:
  bool createPageNodes_ = true;
  bool enabled_ = true;
  bool visible_ = true;
};

// (component, node, var accept): the report turns it into event 88.
using TppOutlineNodeCreateHandler = std::function<void(cls::TComponent* component, TppOutlineNode* node, bool& accept)>;

class TppOutline : public TppCommunicator {
  CLS_DECLARE_CLASS(TppOutline, TppCommunicator)
 public:
  explicit TppOutline(cls::TComponent* owner);
  void BeforeDestruction() override;

  // Starts over: no page processed, new creators and a new tree. With an
  // unexpanded drill-down subreport anywhere in the report the outline is
  // complete at once and holds only the no-outline node.
  void Initialize();
  // A creator of the participant's class for COMPONENT under PARENT,
  // then one for each of its participant children, in order.
  TppOutlineNodeCreator* CreateNodeCreator(cls::TComponent* component, TppOutlineNodeCreator* parent);

  TppCustomReport* Report() const { return report_; }
  // Leaves the old report's events, joins the new one's.
  void SetReport(TppCustomReport* report);
  TppCustomEngine* Engine() const;

  // Event 17 from the report: the page end, once per page.
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

  // A page made again (the preview went back) makes no nodes twice.
  bool IsPageProcessed() const;
  // Once True it stays True: the engine's report-finished flag.
  bool IsComplete();
  // A copy of the tree, with IsComplete, added to the engine's page.
  void CreateOutlineDrawCommand();
  // Every creator drops its references to the nodes of SUBTREE, which
  // is about to be freed.
  void ForgetNodes(TppOutlineNode* subtree);
  // The node-create handler when there is one.
  void DoNodeCreate(cls::TComponent* component, TppOutlineNode* node, bool& accept);

  TppOutlineNode* RootNode() const { return root_.get(); }
  TppOutlineNode* NoOutlineNode() const { return noOutline_; }
  TppOutlineNodeCreator* NodeCreators() const { return creators_.get(); }
  int32_t LastProcessedPage() const { return lastProcessedPage_; }
  bool CompleteFlag() const { return complete_; }

  TppOutlineNodeCreateHandler OnNodeCreate;

 private:
  // Whether any subreport (nested ones too) is an unexpanded drill-down.
  bool DrillDownForbids(TppCustomReport* report) const;
  void FreeTree();
  void PageEnded();

  bool complete_ = false;
  int32_t lastProcessedPage_ = 0;
  TppCustomReport* report_ = nullptr;
  cls::Owned<TppOutlineNodeCreator> creators_;
  cls::Owned<TppOutlineNode> root_;
  TppOutlineNode* noOutline_ = nullptr;  // under the root
};

// The creator of a participant's nodes: a tree of creators mirrors the
// participants. It queues its nodes for page nodes and hears when they go.
class TppOutlineNodeCreator : public TppRelative, public IppOutlineNodeOwner {
  CLS_DECLARE_CLASS(TppOutlineNodeCreator, TppRelative)
 public:
  explicit TppOutlineNodeCreator(cls::TComponent* owner);
  // Queued nodes lose their creator.
  void BeforeDestruction() override;

  TppOutlineNode* CurrentNode() const { return currentNode_; }
  // The main report (events of page numbers come from its engine).
  TppCustomReport* Report() const { return report_; }
  cls::TComponent* Component() const { return component_; }
  TppOutline* Outline() const { return outline_; }
  void Setup(TppCustomReport* report, cls::TComponent* component, TppOutline* outline);
  const std::vector<TppOutlineNode*>& PendingNodes() const { return pending_; }
  TppOutlineNodeCreator* ParentCreator() const;

  // Subscribes to the component's events.
  virtual void Init() {}
  // The page end, after the parent's.
  virtual void PageEnded() { AddPageNodes(); }

  // The current node of the nearest ancestor creator that has one, else
  // the outline's root.
  TppOutlineNode* ParentNode() const;
  // With the report's CreatePageNodes the node waits for page nodes.
  void Queue(TppOutlineNode* node);
  // The outline's node-create event; answers accept.
  bool FireNodeCreate(TppOutlineNode* node);
  // A "Page n" node under each queued node that has no queued child;
  // the queue empties.
  void AddPageNodes();

  void OutlineNodeFreed(TppOutlineNode* node) override;
  // NODE is about to go: references to it are cleared.
  void ForgetNode(TppOutlineNode* node);
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

 protected:
  // A node of this creator went: references to it are cleared.
  virtual void NodeRemoved(TppOutlineNode* node);
  bool CreatePageNodes() const;
  int32_t EnginePageNo() const;
  // The participant's settings' CreateNode (True without settings).
  bool ComponentCreatesNodes() const;
  TppOutlineNode* currentNode_ = nullptr;

 private:
  TppCustomReport* report_ = nullptr;
  cls::TComponent* component_ = nullptr;
  TppOutline* outline_ = nullptr;
  std::vector<TppOutlineNode*> pending_;
};

// For the report and section subreports: a node for the report.
class TppOutlineReportNodeCreator : public TppOutlineNodeCreator {
  CLS_DECLARE_CLASS(TppOutlineReportNodeCreator, TppOutlineNodeCreator)
 public:
  explicit TppOutlineReportNodeCreator(cls::TComponent* owner);
  // Subscribes to the report (a subreport's: its child report).
  void Init() override;
  // Event 91 from the report: its node, on a page not yet processed.
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  // The node closes when the report has ended; page nodes; an open node
  // waits again for the next page.
  void PageEnded() override;
  // The report's description up to its first ":", or "Main".
  std::string ReportNodeCaption() const;

 private:
  void CreateReportNode();
  TppCustomReport* WatchedReport() const;
};

// For groups: a node per group break, made when the header starts (the
// footer's start when the header is hidden or has no height) and closed
// when the footer ends.
class TppOutlineGroupNodeCreator : public TppOutlineNodeCreator {
  CLS_DECLARE_CLASS(TppOutlineGroupNodeCreator, TppOutlineNodeCreator)
 public:
  explicit TppOutlineGroupNodeCreator(cls::TComponent* owner);
  // Subscribes to the group's header and footer bands.
  void Init() override;
  // 26 from the header or footer, 25 from the footer.
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void PageEnded() override;
  // Before the page end: an open node of a keep-together group that
  // moves to the next page is dropped (unless it is the page's first or
  // an inner group holds a node of its own).
  void DropNodeBeforePageEnd();

  TppOutlineNode* FirstPageNode() const { return firstPageNode_; }
  TppOutlineNode* PreviousNode() const { return previousNode_; }

 protected:
  void NodeRemoved(TppOutlineNode* node) override;

 private:
  // Captioned with the run's break value (ATFOOTER: the run that ends).
  void CreateGroupNode(bool atFooter);
  void CloseNode();
  bool HoldsOpenNode() const { return currentNode_ && currentNode_->Open(); }
  TppOutlineNode* firstPageNode_ = nullptr;
  TppOutlineNode* previousNode_ = nullptr;
  bool madeFromHeader_ = false;
};

// The published "OutlineSettings" of a participant class C whose settings
// are of class S: read as the object, assigned into on write.
template <class C, class S>
cls::TPropInfo ppOutlineSettingsProperty(const char* typeName) {
  cls::TPropInfo p;
  p.Name = "OutlineSettings";
  p.Type = cls::MakeClassTypeInfo(typeName, &S::StaticClass());
  p.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<C*>(o)->OutlineSettings(); };
  p.SetObj = [](cls::TObject* o, cls::TObject* v) {
    if (auto* s = cls::ObjectAs<TppOutlineSettings>(v)) static_cast<C*>(o)->OutlineSettings()->Assign(s);
  };
  return p;
}

// Registers the outline classes and their settings' properties.
void ppRegisterOutlineUnit();
