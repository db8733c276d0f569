// Component streams: a small tree of published properties, references,
// events, string lists, sub-objects and binary data written and read in
// both forms; errors offered to the hook; damaged input refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/classes/compstream.h"
#include "platform/classes/typinfo.h"

using namespace cls;

namespace {

CLS_ENUM(TNodeKind, nkPlain, nkFancy, nkOdd)

class TNodeStyle : public TPersistent {
  CLS_DECLARE_CLASS(TNodeStyle, TPersistent)
 public:
  std::string Face() const { return face_; }
  void SetFace(const std::string& v) { face_ = v; }
  std::string face_;
};
CLS_IMPLEMENT_CLASS(TNodeStyle)

// A node of a tree: children live in their parent in a stream.
class TNode : public TComponent {
  CLS_DECLARE_CLASS(TNode, TComponent)
 public:
  explicit TNode(TComponent* owner) : TComponent(owner) {}
  void BeforeDestruction() override {
    if (parent_) parent_->kids.erase(std::find(parent_->kids.begin(), parent_->kids.end(), this));
    for (TNode* k : kids) k->parent_ = nullptr;
    TComponent::BeforeDestruction();
  }
  int Count() const { return count_; }
  void SetCount(int v) { count_ = v; }
  TNodeKind Kind() const { return kind_; }
  void SetKind(TNodeKind v) { kind_ = v; }
  float Scale() const { return scale_; }
  void SetScale(float v) { scale_ = v; }
  std::string Text() const { return text_; }
  void SetText(const std::string& v) { text_ = v; }
  TNode* Link() const { return link_; }
  void SetLink(TNode* v) { link_ = v; }
  void Loaded() override {
    TComponent::Loaded();
    loadedLinkSet = link_ != nullptr;
  }
  bool HasParent() const override { return true; }
  void SetParentComponent(TComponent* parent) override {
    if (auto* p = ObjectAs<TNode>(parent)) {
      parent_ = p;
      p->kids.push_back(this);
    }
  }
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent*) override {
    for (TNode* k : kids) proc(k);
  }
  void DefineProperties(TFiler* filer) override {
    filer->DefineBinaryProperty(
        "Blob", [this](TStream& s) { blob.assign(static_cast<size_t>(s.Size()), '\0'); s.ReadBuffer(blob.data(), s.Size()); },
        [this](TStream& s) { s.WriteBuffer(blob.data(), static_cast<int64_t>(blob.size())); }, !blob.empty());
  }
  void Clicked(TObject*) {}

  TNotifyEvent OnClick;
  TStringList lines;
  TNodeStyle style;
  std::string blob;
  std::vector<TNode*> kids;
  bool loadedLinkSet = false;

 private:
  int count_ = 0;
  TNodeKind kind_ = nkPlain;
  float scale_ = 0;
  std::string text_;
  TNode* link_ = nullptr;
  TNode* parent_ = nullptr;
};
CLS_IMPLEMENT_COMPONENT(TNode)

// The root publishes the handler the nodes may name.
class TNodeForm : public TComponent {
  CLS_DECLARE_CLASS(TNodeForm, TComponent)
 public:
  explicit TNodeForm(TComponent* owner) : TComponent(owner) {}
  void NodeClicked(TObject*) {}
};
CLS_IMPLEMENT_COMPONENT(TNodeForm)

void Publish() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClass(&TNode::StaticClass());
  auto& c = TNode::StaticClass();
  TPropInfo count = OrdProperty<TNode, int>("Count", TypeInfoInteger(), &TNode::Count, &TNode::SetCount);
  count.HasDefault = true;
  PublishProperty(c, count);
  TPropInfo kind = OrdProperty<TNode, TNodeKind>("Kind", EnumTypeInfo<TNodeKind>(), &TNode::Kind, &TNode::SetKind);
  kind.HasDefault = true;
  PublishProperty(c, kind);
  PublishProperty(c, FloatProperty<TNode, float>("Scale", &TNode::Scale, &TNode::SetScale));
  PublishProperty(c, StrProperty<TNode>("Text", &TNode::Text, &TNode::SetText));
  TPropInfo link;
  link.Name = "Link";
  link.Type = MakeClassTypeInfo("TNode", &TNode::StaticClass());
  link.GetObj = [](TObject* o) -> TObject* { return static_cast<TNode*>(o)->Link(); };
  link.SetObj = [](TObject* o, TObject* v) { static_cast<TNode*>(o)->SetLink(ObjectAs<TNode>(v)); };
  PublishProperty(c, link);
  PublishProperty(c, MethodProperty<TNode>("OnClick", &TNode::OnClick));
  TPropInfo lines;
  lines.Name = "Lines";
  lines.Type = MakeClassTypeInfo("TStrings", &TStringList::StaticClass());
  lines.GetObj = [](TObject* o) -> TObject* { return &static_cast<TNode*>(o)->lines; };
  lines.SetObj = [](TObject* o, TObject* v) { static_cast<TNode*>(o)->lines.Assign(ObjectAs<TStringList>(v)); };
  PublishProperty(c, lines);
  TPropInfo style;
  style.Name = "Style";
  style.Type = MakeClassTypeInfo("TNodeStyle", &TNodeStyle::StaticClass());
  style.GetObj = [](TObject* o) -> TObject* { return &static_cast<TNode*>(o)->style; };
  PublishProperty(c, style);
  PublishProperty(TNodeStyle::StaticClass(), StrProperty<TNodeStyle>("Face", &TNodeStyle::Face, &TNodeStyle::SetFace));
  PublishMethod(TNodeForm::StaticClass(), TMethodInfo{"NodeClicked", [](TObject* o) {
                                                        return TNotifyEvent(static_cast<TNodeForm*>(o),
                                                                            &TNodeForm::NodeClicked)
                                                            .Method();
                                                      }});
}

std::string Bytes(TStream& s) {
  std::string out(static_cast<size_t>(s.Size()), '\0');
  s.SetPosition(0);
  if (!out.empty()) s.ReadBuffer(out.data(), s.Size());
  return out;
}

std::string ToText(const std::string& binary) {
  TMemoryStream in, out;
  in.WriteBuffer(binary.data(), static_cast<int64_t>(binary.size()));
  in.SetPosition(0);
  ObjectBinaryToText(&in, &out);
  return Bytes(out);
}

std::string ToBinary(const std::string& text) {
  TMemoryStream in, out;
  in.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  in.SetPosition(0);
  ObjectTextToBinary(&in, &out);
  return Bytes(out);
}

class Streams : public ::testing::Test {
 protected:
  void SetUp() override {
    Publish();
    form.reset(new TNodeForm(nullptr));
    form->SetName("Form1");
  }
  TNode* Node(const std::string& name, TNode* parent = nullptr) {
    auto* n = new TNode(form.get());
    n->SetName(name);
    if (parent) n->SetParentComponent(parent);
    return n;
  }
  std::string Write(TNode* top) {
    TMemoryStream s;
    WriteComponent(&s, top, form.get());
    return Bytes(s);
  }
  TNode* Read(const std::string& binary, TComponentReader& reader) {
    TMemoryStream s;
    s.WriteBuffer(binary.data(), static_cast<int64_t>(binary.size()));
    s.SetPosition(0);
    return ObjectAs<TNode>(reader.ReadComponent(&s, form.get()));
  }
  Owned<TNodeForm> form;
};

}  // namespace

TEST_F(Streams, TreeWritesAndReadsBackInBothForms) {
  TNode* top = Node("Top");
  top->SetCount(-70000);
  top->SetKind(nkFancy);
  top->SetScale(0.1f);
  top->SetText("it's\r\n");
  top->lines.SetText("a\r\nb\r\n");
  top->style.SetFace("Arial");
  top->blob = std::string("\x00\x01\xFF", 3);
  top->OnClick = TNotifyEvent(form.get(), &TNodeForm::NodeClicked);
  TNode* first = Node("First", top);
  TNode* second = Node("Second", top);
  first->SetLink(second);  // a name read before its object
  second->OnClick = TNotifyEvent(second, &TNode::Clicked);  // not the root's: not stored
  std::string binary = Write(top);
  std::string text = ToText(binary);
  EXPECT_EQ(text,
            "object Top: TNode\r\n"
            "  Count = -70000\r\n"
            "  Kind = nkFancy\r\n"
            "  Scale = 0.1\r\n"
            "  Text = 'it''s'#13#10\r\n"
            "  OnClick = NodeClicked\r\n"
            "  Lines = (\r\n"
            "    'a'\r\n"
            "    'b')\r\n"
            "  Style.Face = 'Arial'\r\n"
            "  Blob = {\r\n"
            "    0001FF}\r\n"
            "  object First: TNode\r\n"
            "    Link = Second\r\n"
            "  end\r\n"
            "  object Second: TNode\r\n"
            "  end\r\n"
            "end\r\n");
  // The text reads back to a stream of the same content.
  EXPECT_EQ(ToText(ToBinary(text)), text);

  Owned<TNodeForm> old(form.release());
  form.reset(new TNodeForm(nullptr));
  form->SetName("Form2");
  TComponentReader reader;
  TNode* copy = Read(ToBinary(text), reader);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Count(), -70000);
  EXPECT_EQ(copy->Kind(), nkFancy);
  EXPECT_EQ(copy->Scale(), 0.1f);
  EXPECT_EQ(copy->Text(), "it's\r\n");
  EXPECT_EQ(copy->lines.Text(), "a\r\nb\r\n");
  EXPECT_EQ(copy->style.Face(), "Arial");
  EXPECT_EQ(copy->blob, std::string("\x00\x01\xFF", 3));
  EXPECT_EQ(copy->OnClick.Data(), form.get());
  ASSERT_EQ(copy->kids.size(), 2u);
  EXPECT_EQ(copy->kids[0]->Link(), copy->kids[1]);
  // References are in place before any Loaded runs.
  EXPECT_TRUE(copy->kids[0]->loadedLinkSet);
  EXPECT_FALSE(copy->HasState(csLoading));
  EXPECT_EQ(Write(copy), binary);
}

TEST_F(Streams, PropertyAndClassErrorsGoToTheHook) {
  std::string text =
      "object Top: TNode\r\n"
      "  Foo = 1\r\n"
      "  Kind = nkNone\r\n"
      "  Count = 3000000000\r\n"
      "  Text = 5\r\n"
      "  Link = Nobody\r\n"
      "  OnClick = NoSuchMethod\r\n"
      "  Count = 7\r\n"
      "  object Lost: TNoSuchClass\r\n"
      "    object Inner: TNode\r\n"
      "    end\r\n"
      "  end\r\n"
      "  object Kept: TNode\r\n"
      "  end\r\n"
      "end\r\n";
  std::vector<std::string> errors;
  TComponentReader reader;
  reader.OnError = [&](const std::string& message, bool& handled) {
    errors.push_back(message);
    handled = true;
  };
  TNode* top = Read(ToBinary(text), reader);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->Count(), 7);
  EXPECT_EQ(top->Kind(), nkPlain);
  ASSERT_EQ(errors.size(), 7u);
  EXPECT_EQ(errors[0], "Error reading Top.Foo: Property Foo does not exist");
  EXPECT_EQ(errors[1], "Error reading Top.Kind: Invalid property value");
  EXPECT_EQ(errors[4], "Class TNoSuchClass not found");
  // Names are resolved after the whole stream.
  EXPECT_EQ(errors[5], "Error reading Top.Link: Invalid reference Nobody");
  EXPECT_EQ(errors[6].rfind("Error reading Top.OnClick: ", 0), 0u);
  ASSERT_EQ(top->kids.size(), 1u);
  EXPECT_EQ(top->kids[0]->Name(), "Kept");
  EXPECT_EQ(form->FindComponent("Inner"), nullptr);

  // Unanswered, the first error fails the read and nothing stays.
  int before = form->ComponentCount();
  TComponentReader strict;
  EXPECT_THROW(Read(ToBinary(text), strict), EReadError);
  EXPECT_EQ(form->ComponentCount(), before);
}

TEST_F(Streams, DamagedInputIsRefusedWithoutReadingPastIt) {
  TNode* top = Node("Top");
  Node("Child", top)->SetText(std::string(300, 'x'));
  std::string binary = Write(top);
  int before = form->ComponentCount();
  TComponentReader reader;
  reader.OnError = [](const std::string&, bool& handled) { handled = true; };
  for (size_t n = 0; n < binary.size(); ++n) EXPECT_THROW(Read(binary.substr(0, n), reader), EReadError) << n;
  // A length larger than the bytes left, and an unknown value tag.
  std::string longer = binary;
  size_t at = longer.find(std::string(300, 'x')) - 4;
  longer[at + 3] = 0x7F;
  EXPECT_THROW(Read(longer, reader), EReadError);
  std::string badTag = binary;
  badTag[badTag.find("Text") + 4] = 99;
  EXPECT_THROW(Read(badTag, reader), EReadError);
  EXPECT_EQ(form->ComponentCount(), before);

  // Nesting is bounded in both forms.
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "object N" + std::to_string(i) + ": TNode\r\n";
  EXPECT_THROW(ToBinary(deep), EReadError);
  std::string lists = "object T: TNode\r\n  Lines = " + std::string(200, '(');
  EXPECT_THROW(ToBinary(lists), EReadError);
  EXPECT_THROW(ToBinary("object T: TNode\r\n  Text = 'open\r\nend\r\n"), EReadError);
  EXPECT_THROW(ToBinary("object T: TNode\r\n  Blob = {0F1}\r\nend\r\n"), EReadError);
}

TEST(StreamText, FloatsAreShortestAndKeepAPoint) {
  TBinaryWriter w;
  w.WriteSignature();
  w.WriteName("TNode");
  w.WriteName("N");
  for (auto [name, value] : {std::pair{"A", 2.0}, {"B", 0.1}, {"C", 1e21}, {"D", -2.5}}) {
    w.WriteName(name);
    w.WriteFloat(value);
  }
  w.WriteListEnd();
  w.WriteListEnd();
  EXPECT_EQ(ToText(w.Bytes()),
            "object N: TNode\r\n  A = 2.0\r\n  B = 0.1\r\n  C = 1e+21\r\n  D = -2.5\r\nend\r\n");
  EXPECT_EQ(ToBinary(ToText(w.Bytes())), w.Bytes());
}
