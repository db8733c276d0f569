// TppOutlineDrawCommand: the outline as it stood when its page was made.
// A page holds at most one; devices draw nothing for it. It keeps the
// outline's snapshot, shared with the other pages and copies, and makes
// the tree from it when asked.
#pragma once
#include "report/output/ppDevice.h"
#include "report/output/ppOutlineNode.h"

class TppOutlineDrawCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppOutlineDrawCommand, TppDrawCommand)
 public:
  explicit TppOutlineDrawCommand(cls::TComponent* owner);
  // From another outline command: the command's values, Complete, and a
  // copy of its tree in place of this one's.
  void Assign(cls::TPersistent* source) override;
  // The inherited test, the same Complete and the same tree.
  bool IsSameAs(TppDrawCommand* other) override;
  // The tree is kept as one binary value "OutlineNodes".
  void DefineProperties(cls::TFiler* filer) override;

  // Published: the report was finished when the page was made.
  bool Complete() const { return complete_; }
  void SetComplete(bool v) { complete_ = v; }
  // The tree's root (owned; made from the snapshot on first use).
  TppOutlineNode* OutlineNode() const;
  // Makes the tree from the snapshot if not made yet, calling HEARD after
  // each node; false when HEARD stopped it (this command is not touched
  // after that: it may be gone).
  bool MakeOutlineNode(const std::function<bool()>& heard);
  // The tree made from the snapshot, handed over to the caller (made again
  // when next asked); nullptr when none was made or the tree is not the
  // snapshot's.
  TppOutlineNode* TakeMadeTree();
  // Takes ROOT over in place of the tree held (nullptr: an empty root).
  void SetOutlineNode(TppOutlineNode* root);
  // The tree of SNAPSHOT in place of the tree held.
  void SetSnapshot(const TppOutlineSnapshot& snapshot);

  static void RegisterProperties();

 private:
  void ReadNodes(cls::TStream& s);
  void WriteNodes(cls::TStream& s) const;
  bool complete_ = false;
  TppOutlineSnapshot snapshot_;
  // The tree: given, or made from the snapshot.
  mutable cls::Owned<TppOutlineNode> root_;
};

// Registers TppOutlineDrawCommand (the output layer's entry point calls it).
void ppRegisterOutlineDrawCommandUnit();
