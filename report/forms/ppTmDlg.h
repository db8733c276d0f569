// Opens or saves a report template kept in a table: lists the names of the
// table's templates and takes a name. Open mode accepts only a name the
// table has; save mode asks before it overwrites one. An empty name keeps
// the dialog open; Cancel always closes it. OK answers it by default, so an
// unanswered dialog without an acceptable name fails instead of hanging.
//
// Published: DataPipeline (the table, a component that is an IppDataTable),
// NameField (the field holding template names), TemplateName.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "report/model/ppForms.h"
#include "report/model/ppIntf.h"

class TppTemplateDialog : public TppCustomTemplateDialog {
  CLS_DECLARE_CLASS(TppTemplateDialog, TppCustomTemplateDialog)

 public:
  explicit TppTemplateDialog(cls::TComponent* AOwner);

  ui::THeaderControl* hdrList;
  ui::TListBox* lbxTemplates;
  ui::TLabel* lblTemplateName;
  ui::TEdit* edtTemplateName;
  ui::TButton* btnOK;
  ui::TButton* btnCancel;

  cls::TComponent* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(cls::TComponent* pipeline);
  const std::string& NameField() const { return nameField_; }
  void SetNameField(const std::string& field) { nameField_ = field; }
  // The name in the edit field.
  std::string TemplateName() const { return edtTemplateName->Text(); }
  void SetTemplateName(const std::string& name) { edtTemplateName->SetText(name); }

  // Fills the list from the table, sets the captions for the mode and
  // focuses the name field.
  void Activate() override;
  // Not for Cancel: the name must be acceptable for the mode.
  bool CloseQuery() override;

  static void RegisterProperties();

 protected:
  void Notification(cls::TComponent* c, cls::TOperation op) override;

 private:
  // The names in the table, in record order (none without a table).
  std::vector<std::string> TemplateNames();
  bool NameAccepted();
  void lbxTemplatesClick(cls::TObject* Sender);

  cls::TComponent* dataPipeline_ = nullptr;
  std::string nameField_;
};
