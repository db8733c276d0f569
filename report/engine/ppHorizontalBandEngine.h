// TppHorizontalBandEngine: a detail band in columns across the page. Each
// record takes the next column of the row; the last column of a row moves
// the page position down by the band. Columns get their header as they
// begin and their footer as they end.
#pragma once
#include "report/engine/ppDetailBandEngine.h"

class TppHorizontalBandEngine : public TppDetailBandEngine {
  CLS_DECLARE_CLASS(TppHorizontalBandEngine, TppDetailBandEngine)
 public:
  explicit TppHorizontalBandEngine(TppDetailBand* band) : TppDetailBandEngine(band) {}

  // The left of COLUMN (0-based): the left margin plus the column width
  // times COLUMN, or the ColumnPositions entry. A missing entry or one that
  // is no number goes to the report's error operation as message 43 and
  // gives 0.
  int32_t GetColumnLeft(int column);

  void BeforeGeneration() override;
  void EndGeneration() override;
  void PlaceBand() override;
  void AdvancePage() override;
  void BeforePrintObjects() override;
  void AfterGeneration() override;
  void EndOfPage() override;

 private:
  void StartColumn();
  void EndColumn();
  int32_t savedLeft_ = 0;
};
