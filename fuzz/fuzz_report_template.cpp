// Report templates from any bytes, binary or text, loaded into a report on
// a form with no dialog to ask: a load either succeeds or raises, and a
// failed load leaves the report saving exactly what it saved before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "fuzz_support.h"
#include "platform/classes/streams.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppRegister.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppReport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  ppRegisterComponents();
  return 0;
}

namespace {

std::string Saved(TppReport* report) {
  cls::TMemoryStream s;
  report->Template()->SaveToStream(&s);
  return s.DataString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cls::Owned<cls::TComponent> form(new cls::TComponent(nullptr));
  form->SetName("Form1");
  // The seeds' data pipeline.
  (new TppDataPipeline(form.get()))->SetName("plOrders");
  auto* report = new TppReport(form.get());
  report->SetName("ppReport1");
  auto* band = new TppHeaderBand(form.get());
  band->SetName("ppHeaderBand1");
  band->SetReport(report);
  auto* label = new TppLabel(form.get());
  label->SetName("ppLabel1");
  label->SetBand(band);
  report->Template()->SetFormat(TppFormatType::ftASCII);
  const std::string before = Saved(report);

  cls::TMemoryStream input;
  input.WriteBuffer(data, static_cast<int64_t>(size));
  input.SetPosition(0);
  bool loaded = true;
  try {
    report->Template()->LoadFromStream(&input);
  } catch (const std::exception&) {
    loaded = false;
  }
  if (!loaded && Saved(report) != before) std::abort();
  if ((report->StateFlags() & 128) != 0) std::abort();
  return 0;
}
