// Picture files: BMP files of every depth, icons with masks and alpha,
// metafile bytes kept but not drawn, hostile and cut-short files refused
// with the graphic unchanged, and a picture's "Data" in component streams.
#include <gtest/gtest.h>

#include <map>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/gdi/picture.h"
#include "tests/support/picturefiles.h"
#include "tests/support/testroot.h"

using namespace testing_support;

namespace {

cls::TMemoryStream* StreamOf(const std::string& bytes) {
  auto* s = new cls::TMemoryStream;
  if (!bytes.empty()) s->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s->SetPosition(0);
  return s;
}

template <class G>
void Load(G& graphic, const std::string& bytes) {
  cls::Owned<cls::TMemoryStream> s(StreamOf(bytes));
  graphic.LoadFromStream(*s);
}

template <class G>
std::string Saved(G& graphic) {
  cls::TMemoryStream s;
  graphic.SaveToStream(s);
  return s.DataString();
}

// Four colours in a 5 x 3 picture, different in every row and column.
std::vector<uint32_t> Sample() {
  std::vector<uint32_t> px;
  const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) px.push_back(colours[(x + 2 * y) % 4]);
  return px;
}

std::vector<uint32_t> Rgb(const std::vector<uint32_t>& px) {
  std::vector<uint32_t> out;
  for (uint32_t p : px) out.push_back(p & 0xFFFFFF);
  return out;
}

// A stream format with binary values, for the picture's defined property.
struct Value {
  std::string name, bytes;
};
class BinaryWriter : public cls::TWriter {
 public:
  void WriteInteger(int64_t) override {}
  void WriteFloat(double) override {}
  void WriteString(const std::string&) override {}
  void WriteIdent(const std::string&) override {}
  void WriteBoolean(bool) override {}
  void WriteBinary(const void* data, int64_t size) override {
    bytes.assign(static_cast<const char*>(data), static_cast<size_t>(size));
  }
  std::string bytes;
};
class BinaryReader : public cls::TReader {
 public:
  explicit BinaryReader(std::string b) : bytes(std::move(b)) {}
  cls::TValueKind NextValue() override { return cls::vkBinary; }
  int64_t ReadInteger() override { return 0; }
  double ReadFloat() override { return 0; }
  std::string ReadString() override { return {}; }
  std::string ReadIdent() override { return {}; }
  bool ReadBoolean() override { return false; }
  void SkipValue() override {}
  bool EndOfList() override { return true; }
  std::string ReadPropName() override { return {}; }
  int64_t Position() override { return 0; }
  void SetPosition(int64_t) override {}
  void ReadBinary(cls::TStream& stream) override {
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  std::string bytes;
};
class PlainReader : public BinaryReader {
 public:
  PlainReader() : BinaryReader({}) {}
  void ReadBinary(cls::TStream& stream) override { cls::TReader::ReadBinary(stream); }
};
class Filer : public cls::TFiler {
 public:
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    props[name] = {std::move(read), std::move(write), hasData};
  }
  struct Prop {
    ReadProc read;
    WriteProc write;
    bool hasData;
  };
  std::map<std::string, Prop> props;
};

// The picture's "Data" as a stream writer would keep it; empty when the
// picture has nothing to keep.
std::string WriteData(gdi::TPicture& picture) {
  Filer filer;
  picture.DefineProperties(&filer);
  const Filer::Prop& p = filer.props.at("Data");
  if (!p.hasData) return {};
  BinaryWriter w;
  p.write(w);
  return w.bytes;
}

void ReadData(gdi::TPicture& picture, const std::string& bytes) {
  Filer filer;
  picture.DefineProperties(&filer);
  BinaryReader r(bytes);
  filer.props.at("Data").read(r);
}

}  // namespace

// ---- BMP files

TEST(BmpFiles, EveryDepthAndBothRowOrdersGiveTheSamePixels) {
  for (int bpp : {4, 8, 24, 32})
    for (bool topDown : {false, true}) {
      gdi::TBitmap bm;
      Load(bm, BmpFile(5, 3, bpp, Sample(), topDown));
      ASSERT_EQ(bm.Width(), 5) << bpp;
      ASSERT_EQ(bm.Height(), 3);
      EXPECT_EQ(Rgb(bm.Pixels()), Sample()) << bpp << " " << topDown;
    }
  // Two colours in one bit.
  std::vector<uint32_t> two{0, 0xFFFFFF, 0xFFFFFF, 0, 0, 0xFFFFFF, 0, 0xFFFFFF, 0};
  gdi::TBitmap mono;
  Load(mono, BmpFile(9, 1, 1, two));
  EXPECT_EQ(Rgb(mono.Pixels()), two);
}

TEST(BmpFiles, SavedBitmapLoadsBackAndRowsStartWhereTheHeaderSays) {
  gdi::TBitmap bm;
  std::vector<uint32_t> px;
  for (uint32_t c : Sample()) px.push_back(0xFF000000u | c);
  ASSERT_TRUE(bm.SetPixels(5, 3, px));
  std::string file = Saved(bm);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(file.size(), 14u + 40 + 3 * 16);  // 15 bytes a row padded to 16
  gdi::TBitmap back;
  Load(back, file);
  EXPECT_EQ(Rgb(back.Pixels()), Sample());

  // A gap between the header and the rows.
  std::string gapped = file.substr(0, 54) + std::string(10, '\x55') + file.substr(54);
  gapped[10] = 64;
  gdi::TBitmap shifted;
  Load(shifted, gapped);
  EXPECT_EQ(Rgb(shifted.Pixels()), Sample());
}

TEST(BmpFiles, WrongShortOrHugeFilesAreRefusedAndTheBitmapStaysAsItWas) {
  const std::string good = BmpFile(5, 3, 8, Sample());
  auto refused = [&](const std::string& bytes) {
    gdi::TBitmap bm;
    bm.SetPixels(1, 1, {0xFF123456u});
    EXPECT_THROW(Load(bm, bytes), gdi::EInvalidGraphic);
    EXPECT_EQ(bm.Width(), 1);
    EXPECT_EQ(bm.Pixels(), std::vector<uint32_t>{0xFF123456u});
  };
  // Every cut of the file short of its last row byte.
  for (size_t n = 0; n + 1 < good.size(); ++n) refused(good.substr(0, n));
  std::string bad = good;
  bad[0] = 'X';
  refused(bad);
  auto patched = [&](size_t at, uint32_t v) {
    std::string s = good;
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  refused(patched(10, 2));           // rows inside the file header
  refused(patched(10, 0x7FFFFFFF));  // rows past the end
  refused(patched(14, 0x7FFFFFF0));  // a header longer than the file
  refused(patched(18, 32768));       // wider than a side may be
  refused(patched(22, 0x80000000));  // the most negative height
  refused(patched(18, 20000) /* 20000 x 3: rows missing */);
  std::string compressed = good;
  compressed[30] = 1;  // run-length encoding
  refused(compressed);
  // Claims 30000 x 30000 in a few bytes: refused without making it.
  std::string huge = patched(18, 30000);
  for (int i = 0; i < 4; ++i) huge[22 + i] = static_cast<char>(30000 >> (8 * i));
  refused(huge);
}

// ---- icons

TEST(Icons, TheLargestImageIsTakenWithItsMaskOrItsAlpha) {
  IconImage small{16, 16, 8, std::vector<uint32_t>(256, 0x00FF00), {}, {}};
  IconImage masked{32, 32, 24, std::vector<uint32_t>(1024, 0x0000FF), std::vector<bool>(1024, false), {}};
  for (int x = 0; x < 32; ++x) masked.clear[static_cast<size_t>(5 * 32 + x)] = true;  // row 5
  gdi::TIcon icon;
  Load(icon, IcoFile({small, masked}));
  ASSERT_EQ(icon.Width(), 32);
  ASSERT_EQ(icon.Height(), 32);
  std::vector<uint32_t> px = icon.Pixels();
  EXPECT_EQ(px[0], 0xFF0000FFu);
  EXPECT_EQ(px[5 * 32 + 7], 0u);  // under the mask: nothing
  EXPECT_EQ(px[6 * 32 + 7], 0xFF0000FFu);

  // Thirty-two bits with alpha: premultiplied, the mask not asked.
  IconImage alpha{2, 1, 32, {0x80FF0000u, 0xFF00FF00u}, {true, true}, {}};
  gdi::TIcon glassy;
  Load(glassy, IcoFile({alpha}));
  EXPECT_EQ(glassy.Pixels(), (std::vector<uint32_t>{0x80800000u, 0xFF00FF00u}));

  // Saved as it was read; a copy draws the same.
  std::string file = IcoFile({small, masked});
  gdi::TIcon again;
  Load(again, file);
  EXPECT_EQ(Saved(again), file);
  cls::Owned<gdi::TGraphic> copy(again.NewCopy());
  EXPECT_EQ(static_cast<gdi::TIcon*>(copy.get())->Pixels(), px);
}

TEST(Icons, PngImagesAreSkippedAndBadFilesRefusedWithTheIconUnchanged) {
  IconImage png{64, 64, 32, {}, {}, std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, '\0')};
  IconImage plain{8, 8, 4, std::vector<uint32_t>(64, 0xFF00FF), {}, {}};
  gdi::TIcon icon;
  Load(icon, IcoFile({png, plain}));
  EXPECT_EQ(icon.Width(), 8);

  const std::string good = IcoFile({plain});
  auto refused = [&](const std::string& bytes) {
    gdi::TIcon keep;
    Load(keep, good);
    EXPECT_THROW(Load(keep, bytes), gdi::EInvalidGraphic);
    EXPECT_EQ(keep.Width(), 8);
    EXPECT_EQ(Saved(keep), good);
  };
  for (size_t n = 0; n < good.size(); ++n) refused(good.substr(0, n));  // the mask's last byte included
  refused(IcoFile({png}));
  refused(IcoFile({}));
  std::string cursor = good;
  cursor[2] = 2;  // a cursor file
  refused(cursor);
  std::string away = good;
  away[6 + 12] = '\x7F';  // the image's offset past the end
  refused(away);
  std::string odd = good;
  odd[6 + 16 + 8] = 17;  // a header height that is no double height
  refused(odd);
}

// ---- metafile files

TEST(MetafileFiles, BytesAreKeptAndSizedButNotDrawn) {
  const std::string emf = EmfFile(2540, 1270);  // one inch by half an inch
  gdi::TMetafile mf;
  Load(mf, emf);
  EXPECT_EQ(mf.Width(), 96);
  EXPECT_EQ(mf.Height(), 48);
  EXPECT_TRUE(mf.Empty());  // nothing to draw
  EXPECT_EQ(Saved(mf), emf);
  cls::Owned<gdi::TGraphic> copy(mf.NewCopy());
  EXPECT_EQ(Saved(*copy), emf);

  // A placeable Windows metafile: 1440 units an inch.
  std::string wmf;
  Put32(wmf, 0x9AC6CDD7u);
  Put16(wmf, 0);
  for (uint32_t v : {0u, 0u, 2880u, 720u, 1440u}) Put16(wmf, v);
  wmf += std::string(24, '\0');
  gdi::TMetafile placeable;
  Load(placeable, wmf);
  EXPECT_EQ(placeable.Width(), 192);
  EXPECT_EQ(placeable.Height(), 48);

  // Recording replaces what was loaded.
  {
    gdi::TMetafileCanvas c(mf, nullptr);
    c.FillRect({0, 0, 10, 10});
  }
  EXPECT_TRUE(mf.FileBytes().empty());
  EXPECT_FALSE(mf.Empty());
}

TEST(MetafileFiles, NoMetafileOrAFrameTooLargeIsRefused) {
  for (const std::string& bytes : {std::string(), std::string(100, 'x'), EmfFile(2540 * 400, 10),
                                   EmfFile(10, -2540 * 400), EmfFile(2540, 1270).substr(0, 87)}) {
    gdi::TMetafile mf;
    Load(mf, EmfFile(2540, 1270));
    EXPECT_THROW(Load(mf, bytes), gdi::EInvalidGraphic);
    EXPECT_EQ(mf.Width(), 96);
  }
}

// ---- pictures

TEST(Pictures, FilesLoadByTheirExtensionUnderTheSystemRoot) {
  TempRoot root;
  WriteFile(root.Host("C:\\Pics\\logo.BMP"), BmpFile(5, 3, 24, Sample()));
  WriteFile(root.Host("C:\\Pics\\app.ico"), IcoFile({{8, 8, 4, std::vector<uint32_t>(64, 0xFF), {}, {}}}));
  WriteFile(root.Host("C:\\Pics\\chart.emf"), EmfFile(2540, 2540));
  WriteFile(root.Host("C:\\Pics\\photo.jpg"), "\xFF\xD8\xFF");
  WriteFile(root.Host("C:\\Pics\\bad.bmp"), "BMxxxx");
  gdi::TPicture picture;
  int changes = 0;
  picture.OnChange = [&] { ++changes; };
  picture.LoadFromFile("C:\\Pics\\logo.BMP");
  EXPECT_TRUE(picture.HasBitmap());
  EXPECT_EQ(picture.Width(), 5);
  EXPECT_EQ(changes, 1);
  picture.LoadFromFile("c:\\pics\\APP.ICO");
  EXPECT_TRUE(cls::ObjectIs<gdi::TIcon>(picture.Graphic()));
  picture.LoadFromFile("C:\\Pics\\chart.emf");
  EXPECT_TRUE(picture.HasMetafile());
  EXPECT_EQ(picture.Width(), 96);
  // No JPEG class, a bad file, no file: the picture keeps its metafile.
  EXPECT_THROW(picture.LoadFromFile("C:\\Pics\\photo.jpg"), gdi::EInvalidGraphic);
  EXPECT_THROW(picture.LoadFromFile("C:\\Pics\\bad.bmp"), gdi::EInvalidGraphic);
  EXPECT_THROW(picture.LoadFromFile("C:\\Pics\\none.bmp"), cls::EFOpenError);
  EXPECT_THROW(picture.LoadFromFile("C:\\Pics\\noextension"), gdi::EInvalidGraphic);
  EXPECT_TRUE(picture.HasMetafile());
  EXPECT_EQ(changes, 3);
}

TEST(Pictures, DataKeepsBitmapsIconsAndMetafileBytesThroughAStream) {
  gdi::TPicture picture;
  EXPECT_EQ(WriteData(picture), "");  // empty: nothing written
  Load(picture.Bitmap(), BmpFile(5, 3, 24, Sample()));
  std::string data = WriteData(picture);
  ASSERT_GE(data.size(), 12u);
  EXPECT_EQ(data.substr(0, 8), std::string("\x07TBitmap"));
  uint32_t size = static_cast<uint8_t>(data[8]) | static_cast<uint8_t>(data[9]) << 8;
  EXPECT_EQ(size, data.size() - 12);
  gdi::TPicture back;
  ReadData(back, data);
  ASSERT_TRUE(back.HasBitmap());
  EXPECT_EQ(Rgb(back.Bitmap().Pixels()), Sample());

  std::string ico = IcoFile({{8, 8, 4, std::vector<uint32_t>(64, 0xFF), {}, {}}});
  gdi::TIcon icon;
  Load(icon, ico);
  picture.SetGraphic(&icon);
  EXPECT_EQ(WriteData(picture), "\x05TIcon" + ico);
  ReadData(back, "\x05TIcon" + ico);
  EXPECT_EQ(back.Width(), 8);

  std::string emf = EmfFile(2540, 1270);
  Load(picture.Metafile(), emf);
  EXPECT_EQ(WriteData(picture), "\x09TMetafile" + emf);
  ReadData(back, WriteData(picture));
  ASSERT_TRUE(back.HasMetafile());
  EXPECT_EQ(back.Metafile().FileBytes(), std::vector<uint8_t>(emf.begin(), emf.end()));

  // A metafile only recorded has no bytes to keep.
  {
    gdi::TMetafileCanvas c(picture.Metafile(), nullptr);
    c.FillRect({0, 0, 10, 10});
  }
  EXPECT_EQ(WriteData(picture), "");
  // A class name of length 0 empties the picture.
  ReadData(back, std::string(1, '\0'));
  EXPECT_TRUE(back.Empty());
}

TEST(Pictures, BadDataRaisesAndLeavesThePicture) {
  gdi::TPicture picture;
  Load(picture.Bitmap(), BmpFile(5, 3, 24, Sample()));
  std::string good = WriteData(picture);
  gdi::TPicture target;
  target.Bitmap().SetPixels(1, 1, {0xFF000000u});
  for (const std::string& bad : {std::string("\x05TJPEG"), std::string("\x07TBit"), good.substr(0, 10),
                                 good.substr(0, good.size() - 1), std::string("\x07TBitmap\xFF\xFF\xFF\x7F")}) {
    EXPECT_ANY_THROW(ReadData(target, bad));
    ASSERT_TRUE(target.HasBitmap());
    EXPECT_EQ(target.Width(), 1);
  }
  // A stream format without binary values says so.
  Filer filer;
  picture.DefineProperties(&filer);
  PlainReader plain;
  EXPECT_THROW(filer.props.at("Data").read(plain), cls::EReadError);
  BinaryWriter w;
  EXPECT_THROW(w.cls::TWriter::WriteBinary("x", 1), cls::EWriteError);
}
