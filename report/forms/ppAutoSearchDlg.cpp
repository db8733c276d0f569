#include "report/forms/ppAutoSearchDlg.h"

#include <algorithm>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtilsDraw.h"

CLS_IMPLEMENT_CLASS(TppAutoSearchPanel)
CLS_IMPLEMENT_COMPONENT(TppSimpleSearchPanel)
CLS_IMPLEMENT_COMPONENT(TppBetweenSearchPanel)
CLS_IMPLEMENT_COMPONENT(TppInListSearchPanel)
CLS_IMPLEMENT_COMPONENT(TppAutoSearchDialog)

namespace {

constexpr int kLabelTop = 29;     // the criterion's line
constexpr int kEditTop = 26;
constexpr int kEditHeight = 21;
constexpr int kMarkWidth = 5, kMarkHeight = 7;
constexpr int kBottomHeight = 41;  // the OK and Cancel strip
constexpr int kMinClientWidth = 438, kMaxClientWidth = 1000;
constexpr int kDesignClientHeight = 400;
constexpr int kTabsHeight = 28;

ui::TShape* NewMark(cls::TComponent* owner, ui::TWinControl* parent, gdi::TColor color) {
  auto* mark = new ui::TShape(owner);
  mark->SetParent(parent);
  mark->Shape = ui::TShapeType::stEllipse;
  mark->Brush.Color = color;
  mark->Pen.Color = color;
  mark->SetBounds(0, 0, kMarkWidth, kMarkHeight);
  return mark;
}

// The red 5 x 5 bullet of a tab with an invalid panel, on white (which
// the image list makes transparent).
class TppErrorBullet : public TppMetaBitmap {
 public:
  int ImageWidth() const override { return 5; }
  int ImageHeight() const override { return 5; }

 protected:
  void DrawImage() override {
    FillRect(0, 0, 4, 4, gdi::clWhite);
    FillRect(1, 0, 3, 4, gdi::clRed);
    FillRect(0, 1, 4, 3, gdi::clRed);
  }
};

}  // namespace

// ---- TppAutoSearchPanel ----

TppAutoSearchPanel::TppAutoSearchPanel(cls::TComponent* owner) : ui::TCustomPanel(owner) {}

std::string TppAutoSearchPanel::Name(const std::string& base, const char* suffix) const {
  return base + std::to_string(number_) + suffix;
}

int TppAutoSearchPanel::TextWidth(const std::string& text) { return Canvas().TextWidth(text); }

ui::TLabel* TppAutoSearchPanel::NewLabel(const std::string& caption, int x, int y) {
  auto* label = new ui::TLabel(Owner());
  label->SetParent(this);
  label->Caption = caption;
  label->Font.Assign(Font);
  label->SetBounds(x, y, TextWidth(caption), 13);
  return label;
}

ui::TEdit* TppAutoSearchPanel::NewEdit(const std::string& name, int x, int y, int width) {
  auto* edit = new ui::TEdit(Owner());
  edit->SetName(name);
  edit->SetParent(this);
  edit->SetBounds(x, y, width, kEditHeight);
  edit->OnChange = [this, edit](cls::TObject*) { ValueTyped(edit->Text()); };
  edit->OnClick = [this](cls::TObject*) { ValueClicked(); };
  return edit;
}

void TppAutoSearchPanel::Init(TppAutoSearchField* field, int number, bool first, bool onTab) {
  field_ = field;
  number_ = number;
  BevelOuter = onTab ? ui::TBevelCut::bvNone : ui::TBevelCut::bvRaised;
  field->SetFirstCriterion(first);
  field->SetPanel(this);
  // The check box, at first at the top.
  showAll_ = new ui::TCheckBox(Owner());
  showAll_->SetName(Name("cbxShowAll"));
  showAll_->SetParent(this);
  std::string caption = LoadLanguageString(1033);
  if (size_t at = caption.find("<name>"); at != std::string::npos) caption.replace(at, 6, field->FieldAlias());
  showAll_->Caption = caption;
  showAll_->SetBounds(8, 5, Width(), 17);
  showAll_->SetChecked(field->ShowAllValues());
  showAll_->SetVisible(!field->Mandatory());
  showAll_->OnClick = [this](cls::TObject*) { ShowAllClicked(); };
  // The criterion: prefix, alias in blue, operator.
  prefix_ = NewLabel(LoadLanguageString(first ? 54 : 55), 8, kLabelTop);
  alias_ = NewLabel(field->FieldAlias(), prefix_->Left() + prefix_->Width() + 5, kLabelTop);
  alias_->Font.SetColor(gdi::clBlue);
  using O = TppSearchOperatorType;
  bool blank = field->SearchOperator() == O::soBlank || field->SearchOperator() == O::soNotBlank;
  operator_ = NewLabel(field->OperatorText() + (blank ? "." : ""), alias_->Left() + alias_->Width() + 5, kLabelTop);
  // The marks and the error text.
  errorMark_ = NewMark(Owner(), this, gdi::clRed);
  errorMark_->Hide();
  errorLabel_ = NewLabel("", 0, 8);
  errorLabel_->Font.SetColor(gdi::clRed);
  errorLabel_->Hide();
  mandatoryMark_ = NewMark(Owner(), this, gdi::clBlack);
  mandatoryMark_->SetVisible(field->Mandatory());
  int width = 0, height = 0;
  BuildValues(operator_->Left() + operator_->Width() + 5, width, height);
  SetBounds(Left(), Top(), width, height);
  if (ui::TWinControl* value = ValueControl()) {
    mandatoryMark_->SetBounds(value->Left() + value->Width() + 3, value->Top() + 7, kMarkWidth, kMarkHeight);
    errorLabel_->SetLeft(value->Left() + 4);
  }
  showAll_->SetWidth(width);
  PlaceCheckBox();
  // A check box left on the top line: the error text goes under the values.
  if (showAll_->Visible() && showAll_->Top() < errorLabel_->Top() + errorLabel_->Height() &&
      errorLabel_->Top() < showAll_->Top() + showAll_->Height())
    errorLabel_->SetTop(height - errorLabel_->Height() - 5);
  ShowAllClicked();
  if (onTab) {
    bottomLine_ = new ui::TBevel(Owner());
    bottomLine_->SetParent(this);
    bottomLine_->Shape = ui::TBevelShape::bsBottomLine;
    bottomLine_->SetAlign(ui::TAlign::alBottom);
    bottomLine_->SetHeight(2);
  }
}

void TppAutoSearchPanel::ShowAllClicked() {
  bool all = showAll_->Visible() && showAll_->Checked();
  for (ui::TLabel* l : {prefix_, alias_, operator_}) l->Enabled = !all;
}

void TppAutoSearchPanel::ValueTyped(const std::string& text) {
  if (showAll_->Visible()) showAll_->SetChecked(text.empty());
}

void TppAutoSearchPanel::ValueClicked() {
  if (showAll_->Checked()) showAll_->SetChecked(false);
}

bool TppAutoSearchPanel::Check() {
  std::string message;
  if (!(showAll_->Visible() && showAll_->Checked()))
    message = ppCheckSearchValues(field_->DataType(), field_->Mandatory(), Values());
  ui::TWinControl* value = ValueControl();
  if (message.empty() || !value) {
    errorLabel_->Hide();
    errorMark_->Hide();
    return message.empty();
  }
  errorLabel_->Caption = message;
  errorLabel_->SetWidth(TextWidth(message));
  errorLabel_->Show();
  errorMark_->SetBounds(value->Left() + value->Width() + 3, value->Top() + 7, kMarkWidth, kMarkHeight);
  errorMark_->Show();
  return false;
}

bool TppAutoSearchPanel::Apply() {
  if (!Check()) return false;
  field_->SetSearchExpression(Expression());
  field_->SetShowAllValues(showAll_->Visible() && showAll_->Checked());
  return true;
}

// ---- the simple panel ----

void TppSimpleSearchPanel::BuildValues(int x, int& width, int& height) {
  edit_ = NewEdit(Name("edtValue"), x, kEditTop, 273);
  edit_->SetText(Field()->SearchExpression());
  using O = TppSearchOperatorType;
  edit_->SetVisible(Field()->SearchOperator() != O::soBlank && Field()->SearchOperator() != O::soNotBlank);
  width = edit_->Left() + edit_->Width() + 5;
  height = 73;
}

void TppSimpleSearchPanel::PlaceCheckBox() {
  showAll_->SetBounds(edit_->Left(), edit_->Top() + edit_->Height() + 5, edit_->Width(), showAll_->Height());
}

std::vector<std::string> TppSimpleSearchPanel::Values() const {
  return edit_->Visible() ? ppSplitSearchValues(edit_->Text()) : std::vector<std::string>{};
}

std::string TppSimpleSearchPanel::Expression() const { return edit_->Text(); }

// ---- the between panel ----

void TppBetweenSearchPanel::BuildValues(int x, int& width, int& height) {
  std::vector<std::string> values = Field()->ValueList();
  from_ = NewEdit(Name("edtValue"), x, kEditTop, 150);
  from_->SetText(values.size() > 0 ? values[0] : "");
  ui::TLabel* between = NewLabel(LoadLanguageString(62), from_->Left() + from_->Width() + 10, kLabelTop);
  to_ = NewEdit(Name("edtValue", "b"), between->Left() + between->Width() + 10, kEditTop, 150);
  to_->SetText(values.size() > 1 ? values[1] : "");
  width = to_->Left() + to_->Width() + 5;
  height = 73;
}

std::vector<std::string> TppBetweenSearchPanel::Values() const {
  std::vector<std::string> values;
  for (ui::TEdit* e : {from_, to_})
    if (!e->Text().empty()) values.push_back(e->Text());
  return values;
}

std::string TppBetweenSearchPanel::Expression() const {
  cls::TStringList list;
  list.Add(from_->Text());
  list.Add(to_->Text());
  return list.CommaText();
}

// ---- the in-list panel ----

void TppInListSearchPanel::BuildValues(int x, int& width, int& height) {
  edit_ = NewEdit(Name("edtValue"), x, kEditTop, 150);
  auto* add = new ui::TButton(Owner());
  add->SetName(Name("btnAdd"));
  add->SetParent(this);
  add->Caption = LoadLanguageString(63);
  // Beyond the mandatory and error marks, which sit right of the edit.
  add->SetBounds(edit_->Left() + edit_->Width() + 3 + kMarkWidth + 5, kEditTop, 100, 23);
  add->OnClick = [this](cls::TObject*) { AddValue(); };
  list_ = new ui::TListBox(Owner());
  list_->SetName(Name("lbxValues"));
  list_->SetParent(this);
  list_->SetBounds(edit_->Left(), kEditTop + kEditHeight + 5, 150, 80);
  for (const std::string& v : Field()->ValueList()) list_->Items.Add(v);
  auto* remove = new ui::TButton(Owner());
  remove->SetName(Name("btnRemove"));
  remove->SetParent(this);
  remove->Caption = LoadLanguageString(64);
  remove->SetBounds(add->Left(), list_->Top(), 100, 23);
  remove->OnClick = [this](cls::TObject*) { RemoveValue(); };
  width = add->Left() + add->Width() + 5;
  height = list_->Top() + list_->Height() + 30;
}

void TppInListSearchPanel::AddValue() {
  std::string value = edit_->Text();
  if (value.empty()) return;
  std::string message = ppCheckSearchValue(Field()->DataType(), value);
  if (!message.empty()) {
    errorLabel_->Caption = message;
    errorLabel_->SetWidth(TextWidth(message));
    errorLabel_->Show();
    errorMark_->SetBounds(edit_->Left() + edit_->Width() + 3, edit_->Top() + 7, kMarkWidth, kMarkHeight);
    errorMark_->Show();
    return;
  }
  errorLabel_->Hide();
  errorMark_->Hide();
  if (list_->Items.IndexOf(value) < 0) list_->Items.Add(value);
  edit_->SetText("");
  if (edit_->CanFocus()) edit_->SetFocus();
}

void TppInListSearchPanel::RemoveValue() {
  int i = list_->ItemIndex();
  if (i < 0 || i >= list_->Items.Count()) return;
  list_->Items.Delete(i);
  list_->SetItemIndex(std::min(i, list_->Items.Count() - 1));
}

std::vector<std::string> TppInListSearchPanel::Values() const {
  std::vector<std::string> values;
  for (int i = 0; i < list_->Items.Count(); ++i) values.push_back(list_->Items.Strings(i));
  return values;
}

std::string TppInListSearchPanel::Expression() const { return list_->Items.CommaText(); }

// ---- TppAutoSearchDialog ----

TppAutoSearchDialog::TppAutoSearchDialog(cls::TComponent* owner)
    : TppCustomAutoSearchDialog(owner), groups_(new TppAutoSearchGroups(nullptr)) {
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  Position = ui::TPosition::poScreenCenter;
  SetClientWidth(kMinClientWidth);
  SetClientHeight(kDesignClientHeight);
  bottom_ = new ui::TPanel(this);
  bottom_->SetParent(this);
  bottom_->BevelOuter = ui::TBevelCut::bvNone;
  bottom_->SetAlign(ui::TAlign::alBottom);
  bottom_->SetHeight(kBottomHeight);
  legendMark_ = NewMark(this, bottom_, gdi::clBlack);
  legendMark_->SetBounds(8, 14, kMarkWidth, kMarkHeight);
  legendMark_->Hide();
  legend_ = new ui::TLabel(this);
  legend_->SetParent(bottom_);
  legend_->SetBounds(18, 12, 250, 13);
  legend_->Hide();
  btnOK = new ui::TButton(this);
  btnOK->SetName("btnOK");
  btnOK->SetParent(bottom_);
  btnOK->Default = true;
  btnOK->OnClick = [this](cls::TObject*) { btnOKClick(); };
  btnCancel = new ui::TButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetParent(bottom_);
  btnCancel->Cancel = true;
  btnCancel->ModalResult = ui::mrCancel;
  LanguageChanged();
}

void TppAutoSearchDialog::BeforeDestruction() {
  // The copies go with the groups; the fields no longer name their panels.
  for (TppAutoSearchField* f : copies_) f->SetPanel(nullptr);
  copies_.clear();
  if (TppAutoSearchGroups* groups = groups_) {
    groups_ = nullptr;
    groups->Free();
  }
  inherited::BeforeDestruction();
}

void TppAutoSearchDialog::LanguageChanged() {
  Caption = LoadLanguageString(65);
  legend_->Caption = LoadLanguageString(66);
  btnOK->Caption = LoadLanguageString(17);
  btnCancel->Caption = LoadLanguageString(5);
}

void TppAutoSearchDialog::GetPanelClassForField(TppAutoSearchField*, cls::TClass&) {}

void TppAutoSearchDialog::PanelCreated(TppAutoSearchField*, TppAutoSearchPanel*) {}

void TppAutoSearchDialog::BuildPanels(ui::TWinControl* parent, TppAutoSearchGroup* group, bool onTab, int& width,
                                      int& height) {
  auto* box = new ui::TScrollBox(this);
  box->SetParent(parent);
  box->BorderStyle = ui::TBorderStyle::bsNone;
  box->SetAlign(ui::TAlign::alClient);
  int top = 0;
  for (int i = 0; i < group->FieldCount(); ++i) {
    TppAutoSearchField* field = group->Fields(i);
    using O = TppSearchOperatorType;
    O op = field->SearchOperator();
    cls::TClass c = &TppSimpleSearchPanel::StaticClass();
    if (op == O::soBetween || op == O::soNotBetween) c = &TppBetweenSearchPanel::StaticClass();
    else if (op == O::soInList || op == O::soNotInList) c = &TppInListSearchPanel::StaticClass();
    GetPanelClassForField(field, c);
    auto* panel = cls::ObjectAs<TppAutoSearchPanel>(c ? c->Create(this) : nullptr);
    if (!panel) panel = new TppSimpleSearchPanel(this);
    panel->SetParent(box);
    panel->SetTop(top);
    panel->Init(field, static_cast<int>(panels_.size()) + 1, i == 0, onTab);
    width = std::max(width, panel->Width());  // before the alignment gives it the box's width
    panel->SetAlign(ui::TAlign::alTop);
    top += panel->Height();
    height += panel->Height();
    panels_.push_back(panel);
    panelTabs_.push_back(cls::ObjectAs<ui::TTabSheet>(parent));
    PanelCreated(field, panel);
  }
  // No line under the last panel of a tab.
  if (onTab && !panels_.empty())
    if (ui::TBevel* line = panels_.back()->BottomLine()) line->Hide();
}

void TppAutoSearchDialog::Init() {
  if (!panels_.empty()) return;
  originals_.clear();
  for (cls::TComponent* c : AutoSearchFields())
    if (auto* f = cls::ObjectAs<TppAutoSearchField>(c)) originals_.push_back(f);
  copies_ = groups_->AddFields(originals_);
  std::vector<TppAutoSearchGroup*> groups;
  for (int i = 0; i < groups_->GroupCount(); ++i) groups.push_back(groups_->Groups(i));
  std::stable_sort(groups.begin(), groups.end(),
                   [](TppAutoSearchGroup* a, TppAutoSearchGroup* b) { return a->TabOrder() < b->TabOrder(); });
  int width = 0, height = 0;
  if (groups.size() == 1) {
    auto* area = new ui::TPanel(this);
    area->SetParent(this);
    area->BevelOuter = ui::TBevelCut::bvNone;
    area->SetAlign(ui::TAlign::alClient);
    BuildPanels(area, groups[0], false, width, height);
  } else if (groups.size() > 1) {
    pageControl_ = new ui::TPageControl(this);
    pageControl_->SetName("pgcTabs");
    pageControl_->SetParent(this);
    pageControl_->SetAlign(ui::TAlign::alClient);
    tabImages_ = new ui::TImageList(this);
    tabImages_->SetSize(5, 5);
    tabImages_->AddMasked(*TppMetaBitmap::CreateBitmap<TppErrorBullet>(), gdi::clWhite);
    pageControl_->Images = tabImages_;
    tabMenu_ = new ui::TPopupMenu(this);
    moveLeft_ = new ui::TMenuItem(this);
    moveLeft_->Caption = LoadLanguageString(1025);
    moveLeft_->OnClick = [this](cls::TObject*) { MoveTab(-1); };
    moveRight_ = new ui::TMenuItem(this);
    moveRight_->Caption = LoadLanguageString(1026);
    moveRight_->OnClick = [this](cls::TObject*) { MoveTab(+1); };
    tabMenu_->Items().Add(moveLeft_);
    tabMenu_->Items().Add(moveRight_);
    tabMenu_->OnPopup = [this](cls::TObject*) { TabMenuPopup(); };
    pageControl_->PopupMenu = tabMenu_;
    int tallest = 0;
    for (TppAutoSearchGroup* group : groups) {
      auto* sheet = new ui::TTabSheet(this);
      sheet->SetPageControl(pageControl_);
      sheet->Caption = group->Description();
      tabGroups_.emplace_back(sheet, group);
      int groupHeight = 0;
      BuildPanels(sheet, group, true, width, groupHeight);
      tallest = std::max(tallest, groupHeight);
    }
    height = tallest + kTabsHeight;
    pageControl_->SetActivePageIndex(0);
  }
  for (TppAutoSearchPanel* p : panels_)
    if (p->Field()->Mandatory()) {
      legend_->Show();
      legendMark_->Show();
    }
  // The size: the widest panel and the panels' height, within limits.
  width += 20;
  height += 20;
  SetClientWidth(std::clamp(width, kMinClientWidth, kMaxClientWidth));
  SetClientHeight(std::min(kDesignClientHeight, height + kBottomHeight));
  btnCancel->SetBounds(ClientWidth() - 83, 9, 75, 25);
  btnOK->SetBounds(ClientWidth() - 166, 9, 75, 25);
  Realign();
}

void TppAutoSearchDialog::Activate() {
  inherited::Activate();
  if (panels_.empty()) return;
  if (pageControl_ && pageControl_->PageCount() > 0) {
    ui::TTabSheet* first = pageControl_->Pages(0);
    for (size_t i = 0; i < panels_.size(); ++i)
      if (panelTabs_[i] == first) {
        if (panels_[i]->ValueControl()->CanFocus()) panels_[i]->ValueControl()->SetFocus();
        return;
      }
    return;
  }
  if (ui::TWinControl* value = panels_[0]->ValueControl(); value && value->CanFocus()) value->SetFocus();
}

void TppAutoSearchDialog::btnOKClick() {
  bool valid = true;
  ui::TTabSheet* firstInvalid = nullptr;
  if (pageControl_)
    for (int i = 0; i < pageControl_->PageCount(); ++i) pageControl_->Pages(i)->ImageIndex = -1;
  for (size_t i = 0; i < panels_.size(); ++i) {
    if (panels_[i]->Check()) continue;
    valid = false;
    if (ui::TTabSheet* tab = panelTabs_[i]) {
      tab->ImageIndex = 0;
      if (!firstInvalid) firstInvalid = tab;
    }
  }
  if (!valid) {
    if (firstInvalid) pageControl_->SetActivePage(firstInvalid);
    return;
  }
  for (TppAutoSearchPanel* p : panels_) p->Apply();
  for (size_t i = 0; i < originals_.size() && i < copies_.size(); ++i) originals_[i]->AssignSearchValues(copies_[i]);
  ModalResult = ui::mrOk;
}

void TppAutoSearchDialog::TabMenuPopup() {
  int i = pageControl_ ? pageControl_->ActivePageIndex() : -1;
  moveLeft_->Enabled = i > 0;
  moveRight_->Enabled = i >= 0 && i < pageControl_->PageCount() - 1;
}

void TppAutoSearchDialog::MoveTab(int step) {
  if (!pageControl_) return;
  int i = pageControl_->ActivePageIndex(), j = i + step;
  if (i < 0 || j < 0 || j >= pageControl_->PageCount()) return;
  ui::TTabSheet* a = pageControl_->Pages(i);
  ui::TTabSheet* b = pageControl_->Pages(j);
  auto groupOf = [this](ui::TTabSheet* sheet) -> TppAutoSearchGroup* {
    for (const auto& [tab, group] : tabGroups_)
      if (tab == sheet) return group;
    return nullptr;
  };
  TppAutoSearchGroup* ga = groupOf(a);
  TppAutoSearchGroup* gb = groupOf(b);
  if (!ga || !gb) return;
  int32_t order = ga->TabOrder();
  ga->SetTabOrder(gb->TabOrder());
  gb->SetTabOrder(order);
  a->SetPageIndex(j);
}

void ppRegisterAutoSearchDialogUnit() {
  for (cls::TClass c : {&TppSimpleSearchPanel::StaticClass(), &TppBetweenSearchPanel::StaticClass(),
                        &TppInListSearchPanel::StaticClass()})
    cls::RegisterClass(c);
  RegisterFormClass(&TppCustomAutoSearchDialog::StaticClass(), &TppAutoSearchDialog::StaticClass());
}
