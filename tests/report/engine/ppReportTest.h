// The engine tests' fixture: a report of class R in millimetres, the bands
// and components a case adds to it, and its page requests.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/output/ppDevice.h"
#include "tests/support/ppTestReport.h"

namespace engine_doubles {

template <class R>
struct TReportTest : ::testing::Test {
  void TearDown() override {
    if (report) report->Free();
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) (*it)->Free();
  }
  // The page in thousandths of a millimetre.
  void MakeReport(int32_t width, int32_t height, int32_t top, int32_t bottom, int32_t left, int32_t right) {
    report = new R(nullptr);
    report->SetUnits(utMillimeters);
    testing_support::SetPage(report, width, height, top, bottom, left, right);
  }
  void MakeReport(int32_t width, int32_t height, int32_t margin) {
    MakeReport(width, height, margin, margin, margin, margin);
  }
  // A negative HEIGHT leaves the band's own.
  template <class T>
  T* AddBand(float height = -1, TppPrintHeightType printHeight = phStatic) {
    auto* b = new T(nullptr);
    b->SetReport(report);
    b->SetPrintHeight(printHeight);
    if (height >= 0) b->SetHeight(height);
    return b;
  }
  // A component of componentWidth that the fixture frees.
  template <class T>
  T* Add(TppCustomBand* band, int32_t top, int32_t height) {
    auto* c = new T(nullptr);
    owned.push_back(c);
    c->SetBand(band);
    c->SetmmTop(top);
    c->SetmmHeight(height);
    c->SetmmWidth(componentWidth);
    return c;
  }
  void Request(TppPageSettingType setting, int32_t page = 1, const std::vector<std::string>& list = {}) {
    TppPageRequest request;
    request.SetPageSetting(setting);
    request.SetPageRequested(page);
    for (const std::string& e : list) request.PageList()->Add(e);
    report->PageRequest(report, &request);
  }
  R* report = nullptr;
  std::vector<cls::TObject*> owned;
  int32_t componentWidth = 20000;
};

}  // namespace engine_doubles
