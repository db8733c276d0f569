#include "report/engine/ppHorizontalBandEngine.h"

#include <algorithm>

#include "report/engine/ppCustRpt.h"
#include "report/engine/ppEngine.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_CLASS(TppHorizontalBandEngine)

int32_t TppHorizontalBandEngine::GetColumnLeft(int column) {
  TppCustomReport* report = Report();
  TppCustomEngine* engine = GenEngine();
  const cls::TStringList& positions = report->StoredColumnPositions();
  if (positions.Count() == 0) {
    TppPageDef* def = engine->Page()->PageDef();
    if (!def) def = report->PrinterSetup()->PageDef();
    return def->mmMarginLeft() + report->mmColumnWidth() * column;
  }
  int64_t value = 0;
  if (column >= 0 && column < positions.Count() && cls::TryStrToInt(cls::Trim(positions[column]), value))
    return static_cast<int32_t>(value);
  std::string text = ppLoadStr(43);
  std::string::size_type at = text.find("<columnno>");
  if (at != std::string::npos) text.replace(at, 10, cls::IntToStr(column + 1));
  report->CancelJob(std::make_exception_ptr(EPrintError(text + ".")));
  return 0;
}

void TppHorizontalBandEngine::BeforeGeneration() {
  savedLeft_ = GenEngine()->PageRect().Left;
  TppDetailBandEngine::BeforeGeneration();
}

void TppHorizontalBandEngine::EndGeneration() {
  TppDetailBandEngine::EndGeneration();
  TppCustomEngine* engine = GenEngine();
  TppRect r = engine->PageRect();
  // Below the last row printed, also when it is not complete.
  int32_t top = r.Bottom;
  if (GetCount() > 0 && !GetOutOfSpace())
    top = std::max(top, GetPrintRect().Bottom + Band()->mmBottomOffset());
  engine->SetPageRect(savedLeft_, top, r.Right, top);
}

void TppHorizontalBandEngine::PlaceBand() {
  TppCustomEngine* engine = GenEngine();
  TppCustomBand* band = Band();
  int column = engine->CurrentColumn();
  SetPageBottom(engine->GetPageBottom() - band->mmBottomOffset());
  int32_t start = engine->PageRect().Top;
  if (!engine->GetColumnBegun(column))
    if (auto* header = Report()->GetBand(TppBandType::btColumnHeader, 0))
      start += static_cast<TppCustomBand*>(header)->GetSpaceUsed();
  SetStartingPosition(start);
  if (band->Visible() && start + band->mmHeight() > GetPageBottom()) {
    SetOutOfSpace(true);
    return;
  }
  SetPrintRect(MakeRect(GetColumnLeft(column), start, engine->PageRect().Right, start + band->mmHeight()));
  SetCurrentPosition(start);
}

void TppHorizontalBandEngine::AdvancePage() {
  TppCustomEngine* engine = GenEngine();
  if (engine->CurrentColumn() != 0) {
    SetSpaceUsed(0);
    return;
  }
  int32_t used = Band()->mmHeight() + Band()->mmBottomOffset();
  SetSpaceUsed(used);
  engine->SetUsedHeight(engine->UsedHeight() + used);
}

void TppHorizontalBandEngine::BeforePrintObjects() {
  TppDetailBandEngine::BeforePrintObjects();
  TppCustomEngine* engine = GenEngine();
  TppCustomBand* band = Band();
  int column = 0;
  if (engine->FirstDetail()) {
    column = engine->CurrentColumn();
    if (column >= Report()->Columns() - 1) {
      // The row is complete: the next one starts below it.
      column = 0;
      int32_t top = GetPrintRect().Top + band->mmHeight() + band->mmBottomOffset();
      TppRect r = engine->PageRect();
      engine->SetPageRect(r.Left, top, r.Right, top);
    } else {
      ++column;
    }
  }
  engine->SetCurrentColumn(column);
  if (!engine->GetColumnBegun(column)) StartColumn();
}

void TppHorizontalBandEngine::StartColumn() {
  TppCustomEngine* engine = GenEngine();
  auto* engineImpl = Engine();
  TppRect saved = engine->PageRect();
  int32_t used = engine->UsedHeight();
  engine->IncludeState(TppBandKind::bkColumnHeader);
  engine->SetPageRect(GetColumnLeft(engine->CurrentColumn()), saved.Top, saved.Right, saved.Bottom);
  Report()->DoOnStartColumn();
  if (engineImpl) engineImpl->GenerateColumnBands(blColumnHeader);
  engine->SetPageRect(saved.Left, saved.Top, saved.Right, saved.Bottom);
  engine->SetUsedHeight(used);
  engine->ExcludeState(TppBandKind::bkColumnHeader);
}

void TppHorizontalBandEngine::AfterGeneration() {
  TppCustomEngine* engine = GenEngine();
  TppCustomBand* band = Band();
  engine->SetColumnBegun(engine->CurrentColumn(), true);
  if (band->Visible() && GetPrintRect().Bottom + band->mmHeight() > GetPageBottom()) EndColumn();
  TppDetailBandEngine::AfterGeneration();
}

void TppHorizontalBandEngine::EndColumn() {
  TppCustomEngine* engine = GenEngine();
  auto* engineImpl = Engine();
  TppRect saved = engine->PageRect();
  int32_t used = engine->UsedHeight();
  engine->IncludeState(TppBandKind::bkColumnFooter);
  engine->SetPageRect(GetColumnLeft(engine->CurrentColumn()), saved.Top, saved.Right, saved.Bottom);
  if (engineImpl) engineImpl->GenerateColumnBands(blColumnFooter);
  Report()->DoOnEndColumn();
  engine->SetPageRect(saved.Left, saved.Top, saved.Right, saved.Bottom);
  engine->SetUsedHeight(used);
  engine->ExcludeState(TppBandKind::bkColumnFooter);
  engine->SetColumnEnded(engine->CurrentColumn(), true);
}

void TppHorizontalBandEngine::EndOfPage() {
  TppDetailBandEngine::EndOfPage();
  TppCustomEngine* engine = GenEngine();
  if (engine->Flags().Intersects(TppEngineFlag::efTitle | TppEngineFlag::efSummary) && GetCount() == 0) return;
  int current = engine->CurrentColumn();
  for (int column = 0; column < Report()->Columns(); ++column) {
    if (engine->GetColumnEnded(column)) continue;
    engine->SetCurrentColumn(column);
    EndColumn();
  }
  engine->SetCurrentColumn(current);
}
