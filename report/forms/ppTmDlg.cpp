#include "report/forms/ppTmDlg.h"

#include <algorithm>

#include "platform/classes/typinfo.h"
#include "platform/ui/dialogs.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppTemplateDialog)

namespace {

constexpr int kSaveMode = 1;

// The non-empty parts joined with SEPARATOR.
std::string JoinParts(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

}  // namespace

TppTemplateDialog::TppTemplateDialog(cls::TComponent* AOwner) : TppCustomTemplateDialog(AOwner) {
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  Position = ui::TPosition::poScreenCenter;
  SetClientWidth(306);
  SetClientHeight(270);

  hdrList = new ui::THeaderControl(this);
  hdrList->SetName("hdrList");
  hdrList->SetParent(this);
  hdrList->SetBounds(8, 8, 290, 17);
  hdrList->Sections.push_back({"Name", 290});

  lbxTemplates = new ui::TListBox(this);
  lbxTemplates->SetName("lbxTemplates");
  lbxTemplates->SetParent(this);
  lbxTemplates->SetBounds(8, 25, 290, 160);
  lbxTemplates->OnClick = [this](cls::TObject* Sender) { lbxTemplatesClick(Sender); };
  lbxTemplates->OnDblClick = [this](cls::TObject* Sender) { lbxTemplatesClick(Sender); };

  lblTemplateName = new ui::TLabel(this);
  lblTemplateName->SetName("lblTemplateName");
  lblTemplateName->SetParent(this);
  lblTemplateName->SetBounds(8, 198, 40, 13);
  lblTemplateName->Caption = "Name";

  edtTemplateName = new ui::TEdit(this);
  edtTemplateName->SetName("edtTemplateName");
  edtTemplateName->SetParent(this);
  edtTemplateName->SetBounds(56, 194, 242, 21);

  btnOK = new ui::TButton(this);
  btnOK->SetName("btnOK");
  btnOK->SetParent(this);
  btnOK->SetBounds(142, 234, 75, 25);
  btnOK->Caption = "&Open";
  btnOK->ModalResult = ui::mrOk;
  btnOK->Default = true;

  btnCancel = new ui::TButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetParent(this);
  btnCancel->SetBounds(223, 234, 75, 25);
  btnCancel->Caption = "Cancel";
  btnCancel->ModalResult = ui::mrCancel;
  btnCancel->Cancel = true;
}

void TppTemplateDialog::SetDataPipeline(cls::TComponent* pipeline) {
  if (pipeline == dataPipeline_) return;
  if (dataPipeline_) dataPipeline_->RemoveFreeNotification(this);
  dataPipeline_ = pipeline;
  if (dataPipeline_) dataPipeline_->FreeNotification(this);
}

void TppTemplateDialog::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove && c == dataPipeline_) dataPipeline_ = nullptr;
}

std::vector<std::string> TppTemplateDialog::TemplateNames() {
  std::vector<std::string> names;
  auto* table = dynamic_cast<IppDataTable*>(dataPipeline_);
  if (!table) return names;
  if (!table->Active()) table->Open();
  for (table->First(); !table->Eof(); table->Next()) names.push_back(table->GetFieldAsString(nameField_));
  return names;
}

void TppTemplateDialog::Activate() {
  lbxTemplates->Items.Clear();
  for (const std::string& name : TemplateNames()) lbxTemplates->Items.Add(name);
  if (Mode() == kSaveMode) {
    Caption = JoinParts({ppLoadStr(362), ppLoadStr(38), TemplateName()}, " ");
    btnOK->Caption = ppLoadStr(138);
  } else {
    Caption = ppLoadStr(361);
    btnOK->Caption = ppLoadStr(134);
  }
  btnCancel->Caption = ppLoadStr(5);
  if (!hdrList->Sections.empty()) hdrList->Sections[0].Text = ppLoadStr(39);
  lblTemplateName->Caption = ppLoadStr(39);
  if (edtTemplateName->CanFocus()) edtTemplateName->SetFocus();
  inherited::Activate();
}

void TppTemplateDialog::lbxTemplatesClick(cls::TObject*) {
  int i = lbxTemplates->ItemIndex();
  if (i >= 0) SetTemplateName(lbxTemplates->Items[i]);
}

bool TppTemplateDialog::NameAccepted() {
  const std::string name = TemplateName();
  if (name.empty()) return false;
  const std::vector<std::string> names = TemplateNames();
  const bool exists = std::find(names.begin(), names.end(), name) != names.end();
  if (Mode() == kSaveMode) {
    if (!exists) return true;
    std::string question = JoinParts({ppLoadStr(494), name}, " ") + "\r\n\r\n" + ppLoadStr(523);
    return ui::MessageDlg(question, ui::TMsgDlgType::mtConfirmation, ui::mbYes | ui::mbNo | ui::mbCancel) ==
           ui::mrYes;
  }
  if (exists) return true;
  ui::MessageDlg(ppLoadStr(45) + " " + name, ui::TMsgDlgType::mtError, ui::mbOK);
  return false;
}

bool TppTemplateDialog::CloseQuery() {
  if (ModalResult != ui::mrCancel && !NameAccepted()) return false;
  return inherited::CloseQuery();
}

void TppTemplateDialog::RegisterProperties() {
  auto& c = StaticClass();
  using D = TppTemplateDialog;
  cls::TPropInfo pipeline;
  pipeline.Name = "DataPipeline";
  pipeline.Type = cls::MakeClassTypeInfo("TComponent", &cls::TComponent::StaticClass());
  pipeline.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<D*>(o)->DataPipeline(); };
  pipeline.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<D*>(o)->SetDataPipeline(cls::ObjectAs<cls::TComponent>(v));
  };
  cls::PublishProperty(c, std::move(pipeline));
  cls::PublishProperty(c, cls::StrProperty<D>("NameField", &D::NameField, &D::SetNameField));
  cls::PublishProperty(c, cls::StrProperty<D>("TemplateName", &D::TemplateName, &D::SetTemplateName));
}
