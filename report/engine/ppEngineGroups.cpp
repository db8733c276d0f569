// The engine's group steps: break tests as the data move, the page-number
// and keep-together groups, footers continued on a new page, and the page
// numbers within a run.
#include <algorithm>

#include "report/engine/ppBands.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"

namespace {

TppGroup* GroupOfBand(TppCustomBand* band) {
  auto* groupBand = cls::ObjectAs<TppGroupBand>(band);
  return groupBand ? groupBand->Group() : nullptr;
}

}  // namespace

void TppEngine::FindGroupBreaks(TppDataPipeline* pipeline) {
  TppCustomReport* r = Report();
  outermostBreak_ = r->GroupCount();
  if (!RecordStepActive()) return;
  for (int i = r->GroupCount() - 1; i >= 0; --i) {
    TppGroup* g = r->Groups(i);
    bool breaking = (pipeline && g->DataPipeline() == pipeline && pipeline->Eof()) ? true : g->CheckForBreak();
    if (breaking) outermostBreak_ = i;
  }
  if (outermostBreak_ < r->GroupCount()) {
    TriggerGroupBreaks();
    IncludeState(TppBandKind::bkGroupHeader | TppBandKind::bkGroupFooter);
  }
}

void TppEngine::TriggerGroupBreaks() {
  if (!RecordStepActive()) return;
  TppCustomReport* r = Report();
  bool newPageTaken = false;
  for (int i = outermostBreak_; i < r->GroupCount(); ++i) {
    TppGroup* g = r->Groups(i);
    g->TriggerBreak();
    if (newPageTaken) {
      if (TppGroupHeaderBand* header = g->HeaderBand()) header->SetAlreadyPageBreak(true);
    } else if (g->NewPage()) {
      newPageTaken = true;
    }
  }
}

void TppEngine::ResetGroups() {
  TppCustomReport* r = Report();
  for (int i = 0; i < r->GroupCount(); ++i) r->Groups(i)->Reset();
}

void TppEngine::ResetGroupBreakValues() {
  TppCustomReport* r = Report();
  for (int i = 0; i < r->GroupCount(); ++i) r->Groups(i)->ResetBreakValue();
}

void TppEngine::ChooseGroups() {
  TppCustomReport* r = Report();
  TppGroup* pageNoGroup = nullptr;
  for (int i = 0; i < r->GroupCount() && !pageNoGroup; ++i)
    if (r->Groups(i)->NewPage() && r->Groups(i)->ResetPageNo()) pageNoGroup = r->Groups(i);
  SetPageNoGroup(pageNoGroup);
  // From the innermost group out; a NewPage group inside rules it out.
  TppGroup* keepTogether = nullptr;
  for (int i = r->GroupCount() - 1; i >= 0; --i) {
    TppGroup* g = r->Groups(i);
    if (g->NewPage()) break;
    if (g->KeepTogether()) {
      keepTogether = g;
      break;
    }
  }
  SetKeepTogetherGroup(keepTogether);
}

void TppEngine::UpdateGroupPageNumbers() {
  if (!PageNoGroup()) return;
  TppCustomReport* r = Report();
  if (listPosition_ != blGroupFooter && listPosition_ != blSummary) {
    for (int i = 0; i < r->GroupCount(); ++i) {
      TppGroup* g = r->Groups(i);
      if (!g->ResetPageNo()) continue;
      TppGroupHeaderBand* header = g->HeaderBand();
      if (State().Contains(TppBandKind::bkTitle) || (header && header->Generation() && !header->GetOverFlow()))
        g->SetFirstPageNo(AbsolutePageNo());
    }
  }
  // While a section waits or prints, only a section that goes on with this
  // report's numbering makes the runs longer.
  if (Flags().Intersects(TppEngineFlag::efSectionPending | TppEngineFlag::efSectionGenerating)) {
    const std::vector<TppCustomBand*>& list = bandLists_[listPosition_];
    size_t at = static_cast<size_t>(std::max(0, listIndex_));
    TppCustomBand* band = at < list.size() ? list[at] : nullptr;
    auto* section = band ? cls::ObjectAs<TppSubReport>(band->CurrentObject()) : nullptr;
    if (!section || section->ResetPageNo()) return;
  }
  for (int i = 0; i < r->GroupCount(); ++i)
    if (r->Groups(i)->ResetPageNo()) r->Groups(i)->UpdateLastPageNo();
}

void TppEngine::KeepGroupTogether(TppCustomBand* band) {
  TppGroup* keep = KeepTogetherGroup();
  if (!keep || !band) return;
  TppGroup* bandGroup = GroupOfBand(band);
  bool inRun = band->BandType() == TppBandType::btDetail || (bandGroup && bandGroup->GroupNo() >= keep->GroupNo());
  if (inRun) keep->RollbackKeepTogether();
}

void TppEngine::ContinueGroupFooters() {
  TppCustomReport* r = Report();
  std::vector<TppGroupHeaderBand*> headers;
  for (int i = 0; i < r->GroupCount(); ++i)
    if (TppGroupHeaderBand* h = r->Groups(i)->HeaderBand()) headers.push_back(h);
  for (TppGroupHeaderBand* h : headers) {
    h->SetSaveGeneration(h->Generation());
    h->SetGeneration(false);
  }
  const std::vector<TppCustomBand*> footers = bandLists_[blGroupFooter];
  int first = std::max(0, listIndex_);
  TppGroup* g = static_cast<size_t>(first) < footers.size() ? GroupOfBand(footers[static_cast<size_t>(first)]) : nullptr;
  // The headers of the outer groups (and the group's own for its orphaned
  // footer) run as the group header list for once.
  if (g) {
    std::vector<TppCustomBand*> reprint;
    int last = g->GroupNo() - (g->HeaderForOrphanedFooter() ? 0 : 1);
    for (int i = 0; i <= last && i < r->GroupCount(); ++i)
      if (TppGroupHeaderBand* h = r->Groups(i)->HeaderBand()) reprint.push_back(h);
    std::vector<TppCustomBand*> saved;
    saved.swap(bandLists_[blGroupHeader]);
    bandLists_[blGroupHeader] = reprint;
    int savedPosition = listPosition_, savedIndex = listIndex_;
    listPosition_ = blGroupHeader;
    GenerateBandList(blGroupHeader, 0, false);
    bandLists_[blGroupHeader].swap(saved);
    listPosition_ = savedPosition;
    listIndex_ = savedIndex;
  }
  ExcludeState(TppBandKind::bkTitle | TppBandKind::bkHeader | TppBandKind::bkColumnHeader);
  for (TppGroupHeaderBand* h : headers) h->SetGeneration(h->SaveGeneration());
  if (pageEnded_ || Cancelled()) return;
  GenerateBandList(blGroupFooter, first, true);
  if (Cancelled()) return;
  bool outOfSpace = false;
  TppGroup* lastExamined = nullptr;
  for (size_t i = static_cast<size_t>(first); i < footers.size(); ++i) {
    lastExamined = GroupOfBand(footers[i]);
    if (footers[i]->GetOutOfSpace()) {
      outOfSpace = true;
      break;
    }
  }
  if (!outOfSpace) {
    listPosition_ = DataExhausted() ? blSummary : blGroupHeader;
    listIndex_ = 0;
  }
  ResetGroupBreakValues();
  if (!(lastExamined && lastExamined->NewPage())) DeferredBreakStep();
}

// ---- new page requests shared with the parent report ----

TppCustomEngine* TppEngine::ParentEngine() const {
  auto* child = cls::ObjectAs<TppChildReport>(Report());
  TppCustomReport* parent = child ? child->ParentReport() : nullptr;
  return parent ? parent->Engine() : nullptr;
}

bool TppEngine::GetNewPageRequested() {
  if (TppCustomEngine::GetNewPageRequested()) return true;
  TppCustomEngine* parent = ParentEngine();
  return parent && parent->GetNewPageRequested();
}

// The parent is not told while it prints its title, header or column
// header bands, nor a group header that reprints on every page: those use
// space without asking for a new page.
void TppEngine::SetNewPageRequested(bool value) {
  TppCustomEngine::SetNewPageRequested(value);
  TppCustomEngine* parent = value ? ParentEngine() : nullptr;
  if (!parent) return;
  int position = parent->GetCurrentListPosition();
  if (position >= blHeader && position <= blColumnHeader) return;
  if (position == blGroupHeader) {
    auto* band = cls::ObjectAs<TppGroupBand>(parent->GetCurrentBand());
    if (band && band->Group() && band->Group()->ReprintOnSubsequentPage()) return;
  }
  parent->SetNewPageRequested(true);
}

bool TppEngine::GroupForcesPageEnd() {
  auto* header = cls::ObjectAs<TppGroupHeaderBand>(currentBand_);
  TppGroup* g = header ? header->Group() : nullptr;
  if (!g) return false;
  if (g->NewPage() && !g->NewColumn()) return true;
  return header->GetOutOfSpace() && g->mmNewPageThreshold() != 0 && g->mmNewColumnThreshold() == 0;
}

// Within a run of the page-number group its page numbers, else the
// absolute ones; a title on a page of its own keeps page 1 absolute.
int32_t TppEngine::GetPageNo() {
  auto* title = cls::ObjectAs<TppReportBand>(Report()->GetBand(TppBandType::btTitle, 0));
  if (AbsolutePageNo() == 1 && title && title->NewPage()) return AbsolutePageNo();
  if (Generating() && PageNoGroup()) return PageNoGroup()->PageNo();
  return AbsolutePageNo();
}

int32_t TppEngine::GetPageCount() {
  auto* title = cls::ObjectAs<TppReportBand>(Report()->GetBand(TppBandType::btTitle, 0));
  if (AbsolutePageNo() == 1 && title && title->NewPage())
    return PageNoGroup() ? AbsolutePageNo() : AbsolutePageCount();
  if (Generating() && PageNoGroup()) return PageNoGroup()->PageCount();
  return AbsolutePageCount();
}
