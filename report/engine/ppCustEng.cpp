#include "report/engine/ppCustEng.h"

#include <atomic>

#include "report/output/ppDevice.h"

CLS_IMPLEMENT_CLASS(TppCustomEngine)

TppCustomEngine::TppCustomEngine(TppCustomReport* report)
    : TppCacheable(nullptr), page_(new TppPage(nullptr)), report_(report) {}

void TppCustomEngine::BeforeDestruction() {
  page_.reset();
  TppCacheable::BeforeDestruction();
}

void TppCustomEngine::SetPageRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  pageRect_.Left = left;
  pageRect_.Top = top;
  pageRect_.Right = right;
  pageRect_.Bottom = bottom;
}

void TppCustomEngine::ResetColumnLeft() {
  if (TppPageDef* def = page_->PageDef()) pageRect_.Left = def->mmMarginLeft();
}

void TppCustomEngine::DoAfterSendPage() {
  if (OnAfterSendPage) OnAfterSendPage(this);
  SendEventNotify(this, ciEngineGenerationEnd, nullptr);
}

void TppCustomEngine::DoBeforeSendPage() {
  if (OnBeforeSendPage) OnBeforeSendPage(this);
}

void TppCustomEngine::DoPageRequest() {
  if (OnPageRequest) OnPageRequest(this, availablePage_);
}

void TppCustomEngine::DoEndPage() {
  if (OnEndPage) OnEndPage(this);
}

void TppCustomEngine::DoSendPage() {
  if (OnSendPage) OnSendPage(this);
}

void TppCustomEngine::DoStartPage() {
  if (OnStartPage) OnStartPage(this);
}

void TppCustomEngine::DoStartGeneration() {
  if (OnStartGeneration) OnStartGeneration(this);
}

void TppCustomEngine::DoPagePositionSaved() {
  if (OnPagePositionSaved) OnPagePositionSaved(this);
}

namespace {
std::atomic<TppEngineCreator> engineClass{nullptr};
}

void ppSetEngineClass(TppEngineCreator creator) { engineClass.store(creator); }
TppEngineCreator ppGetEngineClass() { return engineClass.load(); }
