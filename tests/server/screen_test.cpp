#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include "data_support.h"
#include "data_transfers.h"
#include "outside_program.h"
#include "pcl_raster.h"
#include "vex/com/picture.h"

namespace vex::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

Bytes Decode(const std::string& pcl) {
  Bytes out{1, 2, 3};
  bool ok = server::DecodePclRaster(
      std::span(reinterpret_cast<const std::uint8_t*>(pcl.data()), pcl.size()), &out);
  if (!ok) {
    EXPECT_TRUE(out.empty());
    return {};
  }
  return out;
}

std::string Esc(const std::string& command) {
  return "\x1B" + command;
}

TEST(PclRaster, RowsBecomeAnInvertedBottomUpMonochromeBitmap) {
  // A printer preamble, then three rows of 64 bytes: 0x00, 0xFF, 0x0F.
  std::string pcl = Esc("E") + Esc("*t75R") + Esc("*r1A");
  for (char fill : {'\x00', '\xFF', '\x0F'}) pcl += Esc("*b64W") + std::string(64, fill);
  pcl += Esc("*rB") + Esc("E");
  Bytes bmp = Decode(pcl);
  ASSERT_EQ(bmp.size(), 3u * 64u + 62u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), 254u);
  EXPECT_EQ(U32(bmp, 10), 62u);
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(U32(bmp, 18), 512u) << "64 bytes of 8 pixels";
  EXPECT_EQ(U32(bmp, 22), 3u);
  EXPECT_EQ(bmp[26] | bmp[27] << 8, 1);
  EXPECT_EQ(bmp[28] | bmp[29] << 8, 1);
  EXPECT_EQ(U32(bmp, 30), 0u);
  EXPECT_THAT(Bytes(bmp.begin() + 54, bmp.begin() + 62), ElementsAre(0, 0, 0, 0, 255, 255, 255, 0));
  // Bottom row first: the last input row (0x0F, inverted 0xF0) comes first.
  EXPECT_EQ(bmp[62], 0xF0);
  EXPECT_EQ(bmp[62 + 64], 0x00);
  EXPECT_EQ(bmp[62 + 128], 0xFF);
  EXPECT_EQ(bmp.back(), 0xFF);
}

TEST(PclRaster, MixedRowCommandsEscapesInRowsAndCutShortDumps) {
  // *b68W and *b68V rows belong to one image; a row full of escape bytes is
  // data; a 64-byte row command in a 68-byte image is skipped.
  std::string pcl = Esc("*rA") + Esc("*b68W") + std::string(68, '\x1B') + Esc("*b68V") +
                    std::string(68, '\x01') + Esc("*b64W") + std::string(64, '\x02') +
                    Esc("*b68W") + std::string(68, '\x03');
  Bytes bmp = Decode(pcl);
  ASSERT_EQ(bmp.size(), 3u * 68u + 62u) << "the dump ends without an end command";
  EXPECT_EQ(U32(bmp, 18), 544u);
  EXPECT_EQ(bmp[62], 0xFC);
  EXPECT_EQ(bmp[62 + 68], 0xFE);
  EXPECT_EQ(bmp[62 + 136], 0xE4);

  // A partial last row ends the image without it.
  Bytes cut = Decode(Esc("*r0A") + Esc("*b192W") + std::string(192, '\x00') + Esc("*b192W") +
                     std::string(100, '\x00'));
  ASSERT_EQ(cut.size(), 192u + 62u);
  EXPECT_EQ(U32(cut, 22), 1u);
  // Rows after the end command are not part of the image.
  EXPECT_EQ(Decode(Esc("*rA") + Esc("*b204W") + std::string(204, 'x') + Esc("*rC") + Esc("*b204W") +
                   std::string(204, 'x'))
                .size(),
            204u + 62u);

  // No start of raster graphics, no complete first row, or nothing at all.
  EXPECT_TRUE(Decode(Esc("*b64W") + std::string(64, '\x00')).empty());
  EXPECT_TRUE(Decode(Esc("*rA") + Esc("*b64W") + std::string(63, '\x00')).empty());
  EXPECT_TRUE(Decode(Esc("*rA") + Esc("*rB")).empty());
  EXPECT_TRUE(Decode(Esc("*r")).empty());
  EXPECT_TRUE(Decode("").empty());
}

// A 24-bit BMP file image, w × h, with a colour per pixel from its position.
Bytes MakeBmp(int w, int h) {
  const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
  Bytes b(54 + stride * static_cast<std::size_t>(h), 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<std::uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p =
          &b[54 + static_cast<std::size_t>(y) * stride + 3 * static_cast<std::size_t>(x)];
      p[0] = x < w / 2 ? 255 : 0;
      p[1] = y < h / 2 ? 255 : 0;
      p[2] = 64;
    }
  return b;
}

// The readers of another project, through the shared runner that checks
// each one's prerequisites (fonts for libwmf) first.
using Tool = vex::test::ProgramResult;
Tool RunTool(const std::string& program, const std::string& arguments) {
  return vex::test::RunProgram(program, arguments);
}

class ScreenTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    folder = std::filesystem::path(VEX_TEST_TMP) / "screen_test";
    std::filesystem::create_directories(folder);
  }
  void ScriptBmp(const Bytes& bmp) { io->ReplyBlock(Block(bmp)); }
  std::string Path(const std::string& name) { return (folder / name).string(); }
  std::filesystem::path folder;
};

TEST_F(ScreenTest, PrintCommandSetsDecodeTheirDump) {
  ASSERT_EQ(Attach(), S_OK);
  server::ModelEntry set0;
  set0.name = "TESTPCL";
  set0.command_set = 0;
  core->SetModelForTesting(set0);
  std::string dump = Esc("*rA");
  for (int r = 0; r < 3; ++r) dump += Esc("*b64W") + std::string(64, static_cast<char>(r));
  io->Reply(dump);
  Variant image;
  ASSERT_EQ(server::QueryScreenImage(*core, server::VexR7100_ImageFormat_BMP, &image), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":PRIN? BMP,SCR"));
  ASSERT_EQ(image.vt(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(image.Array()->ElementCount(), 254u) << "although the dump is shorter";

  io->Reply(Esc("E") + "no raster here");
  EXPECT_EQ(server::QueryScreenImage(*core, server::VexR7100_ImageFormat_BMP, &image),
            E_UNEXPECTED);
  EXPECT_EQ(Description(), "The conversion of the screen image to a viewable bitmap has failed.");

  // The picture of a decoded dump.
  io->Reply(dump);
  ComPtr<IPictureDisp> picture;
  ASSERT_EQ(
      core->GetScreenImage(server::VexR7100_ImageFormat_BMP, picture.ReleaseAndGetAddressOf()),
      S_OK);
  std::int32_t width = 0, height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  EXPECT_EQ(width, 512);
  EXPECT_EQ(height, 3);
}

TEST_F(ScreenTest, BitmapInstrumentsSendTheirBmpAndFormatsAreChecked) {
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,VDS3004A,S1,F1", "ASRL"), S_OK);
  Bytes bmp = MakeBmp(6, 4);
  ScriptBmp(bmp);
  Variant image;
  ASSERT_EQ(server::QueryScreenImage(*core, server::VexR7100_ImageFormat_GIF, &image), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":DISP:DATA? BMP,SCR"));
  auto bytes = image.Array()->Span<const std::uint8_t>();
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), bmp) << "returned unchanged";
  std::int32_t working = 0;
  core->get_Timeout(&working);
  EXPECT_THAT(io->timeouts_set, ElementsAre(120000, working))
      << "30 × the default 5000 ms, held to the cap, then the working timeout again";
  EXPECT_EQ(io->term_char, 10);

  io->sent.clear();
  ComPtr<IPictureDisp> picture;
  EXPECT_EQ(
      core->GetScreenImage(server::VexR7100_ImageFormat_EMF, picture.ReleaseAndGetAddressOf()),
      E_FAIL);
  ErrorDetails refused = Details();
  EXPECT_EQ(refused.description,
            "This enumeration value is not recognized by the instrument automation server.");
  EXPECT_EQ(refused.help_context, 99u);
  EXPECT_EQ(core->SaveScreenImage(Bstr(Path("x.emf")), server::VexR7100_ImageFormat_EMF), E_FAIL);
  EXPECT_EQ(Details().help_context, 99u);
  EXPECT_TRUE(io->sent.empty());

  // Code 1 reaches the instrument but has no way to be saved.
  ScriptBmp(bmp);
  EXPECT_EQ(
      core->SaveScreenImage(Bstr(Path("x.bmp")), static_cast<server::VexR7100_ImageFormat>(1)),
      E_UNEXPECTED);
  EXPECT_EQ(Description(), "Unrecognized image format.");

  ScriptBmp(bmp);
  EXPECT_EQ(
      core->SaveScreenImage(Bstr(Path("missing/folder/x.bmp")), server::VexR7100_ImageFormat_BMP),
      E_FAIL);
  EXPECT_EQ(Description(), "File not found");

  ASSERT_EQ(core->Close(), S_OK);
  EXPECT_EQ(core->SaveScreenImage(Bstr(Path("x.bmp")), server::VexR7100_ImageFormat_BMP), E_FAIL);
  EXPECT_EQ(Details().help_context, 1529u);
}

// The screen transfer waits 30 times the working timeout, at most two
// minutes and never less than the timeout itself, and puts the working
// timeout back, whichever way it ends.
TEST_F(ScreenTest, TheTransferWaitsAMultipleOfTheTimeoutAndSaysWhichLimitExpired) {
  ASSERT_EQ(Attach(), S_OK);
  const Bytes bmp = MakeBmp(4, 4);
  struct Case {
    std::int32_t working, limit;
  };
  for (Case c :
       {Case{1000, 30000}, Case{100, 3000}, Case{4000, 120000}, Case{0, 0}, Case{300000, 300000}}) {
    ASSERT_EQ(core->put_Timeout(c.working), S_OK);
    io->timeouts_set.clear();
    ScriptBmp(bmp);
    Variant image;
    ASSERT_EQ(server::QueryScreenImage(*core, server::VexR7100_ImageFormat_BMP, &image), S_OK);
    EXPECT_THAT(io->timeouts_set, ElementsAre(c.limit, c.working)) << c.working;
  }

  const HRESULT timed_out = server::CCoreVexR7100::kIOTimeoutStatus;
  const std::string cause = "GPIB0::7::INSTR: read failed: timed out waiting for a block";
  ASSERT_EQ(core->put_Timeout(1000), S_OK);
  io->FailRead(timed_out, cause);
  EXPECT_EQ(core->SaveScreenImage(Bstr(Path("late.bmp")), server::VexR7100_ImageFormat_BMP),
            timed_out);
  ErrorDetails details = Details();
  EXPECT_EQ(
      details.description,
      "CCoreVexR7100::QueryScreenImage failed.\n"
      "The screen image transfer timed out after 30000 ms (30 \u00d7 the 1000 ms timeout).\n" +
          cause);
  EXPECT_EQ(io->timeout, 1000);
  EXPECT_FALSE(std::filesystem::exists(Path("late.bmp")));

  // Held to the cap, or the timeout itself when that is longer.
  ASSERT_EQ(core->put_Timeout(5000), S_OK);
  io->FailRead(timed_out, cause);
  ComPtr<IPictureDisp> picture;
  EXPECT_EQ(
      core->GetScreenImage(server::VexR7100_ImageFormat_BMP, picture.ReleaseAndGetAddressOf()),
      timed_out);
  EXPECT_THAT(Description(),
              HasSubstr("The screen image transfer timed out after 120000 ms (the cap for long "
                        "transfers; 30 \u00d7 the 5000 ms timeout would be 150000 ms).\n"));
  ASSERT_EQ(core->put_Timeout(200000), S_OK);
  io->FailRead(timed_out, cause);
  Variant image;
  EXPECT_EQ(server::QueryScreenImage(*core, server::VexR7100_ImageFormat_BMP, &image), timed_out);
  EXPECT_THAT(Description(),
              HasSubstr("timed out after 200000 ms (the timeout itself, above the 120000 ms cap "
                        "for long transfers).\n"));
  EXPECT_EQ(io->timeout, 200000);

  // A failure that is no timeout names no limit.
  io->FailRead(E_ABORT, "the line is down");
  EXPECT_EQ(server::QueryScreenImage(*core, server::VexR7100_ImageFormat_BMP, &image), E_ABORT);
  EXPECT_EQ(Description(), "CCoreVexR7100::QueryScreenImage failed.\nthe line is down");
}

TEST_F(ScreenTest, DamagedBitmapsAreRefused) {
  ASSERT_EQ(Attach(), S_OK);
  Bytes good = MakeBmp(8, 8);
  Bytes truncated(good.begin(), good.begin() + 100);
  Bytes lying = good;
  lying[22] = 200;  // claims 200 rows
  Bytes oversized = good;
  lying[2] = 0xFF;  // and a file size beyond the data
  oversized[18] = 0xFF;
  oversized[19] = 0xFF;  // a width far beyond the rows it holds
  for (const Bytes* damaged : {&truncated, &lying, &oversized}) {
    ScriptBmp(*damaged);
    ComPtr<IPictureDisp> picture;
    EXPECT_EQ(
        core->GetScreenImage(server::VexR7100_ImageFormat_BMP, picture.ReleaseAndGetAddressOf()),
        E_FAIL);
    EXPECT_EQ(Description(), "Failed to convert image data to LeadTools format.");
    EXPECT_FALSE(picture);
  }
  ScriptBmp(truncated);
  EXPECT_EQ(core->SaveScreenImage(Bstr(Path("t.bmp")), server::VexR7100_ImageFormat_BMP), E_FAIL);
  EXPECT_FALSE(std::filesystem::exists(Path("t.bmp")));
  // Not a block at all.
  io->Reply("BM garbage");
  ComPtr<IPictureDisp> picture;
  EXPECT_EQ(
      core->GetScreenImage(server::VexR7100_ImageFormat_BMP, picture.ReleaseAndGetAddressOf()),
      E_FAIL);
  EXPECT_THAT(Description(), HasSubstr("CCoreVexR7100::QueryScreenImage failed.\n"));
}

TEST_F(ScreenTest, EveryFormatIsWrittenAndReadBackByAnotherDecoder) {
  ASSERT_EQ(Attach(), S_OK);
  Bytes bmp = MakeBmp(16, 8);
  struct Case {
    const char* name;
    server::VexR7100_ImageFormat format;
    const char* identified;  // ImageMagick's format name; empty for metafiles
  };
  const Case cases[] = {{"shot.bmp", server::VexR7100_ImageFormat_BMP, "BMP3"},
                        {"hires.bmp", server::VexR7100_ImageFormat_HiResBMP, "BMP3"},
                        {"shot.gif", server::VexR7100_ImageFormat_GIF, "GIF"},
                        {"shot.tif", server::VexR7100_ImageFormat_TIF, "TIFF"},
                        {"shot.jpg", server::VexR7100_ImageFormat_JPG, "JPEG"},
                        {"SHOT.JPG", server::VexR7100_ImageFormat_UseSuffix, "JPEG"},
                        {"shot.other", server::VexR7100_ImageFormat_UseSuffix, "BMP3"},
                        {"noext", server::VexR7100_ImageFormat_UseSuffix, "BMP3"},
                        {"shot.wmf", server::VexR7100_ImageFormat_WMF, ""},
                        {"shot.emf", server::VexR7100_ImageFormat_UseSuffix, ""}};
  for (const Case& c : cases) {
    io->sent.clear();
    ScriptBmp(bmp);
    const std::string path = Path(c.name);
    std::filesystem::remove(path);
    ASSERT_EQ(core->SaveScreenImage(Bstr(path), c.format), S_OK) << c.name << ": " << Description();
    EXPECT_THAT(io->sent, ElementsAre(c.format == server::VexR7100_ImageFormat_UseSuffix
                                          ? ":DISP:DATA? BMP,SCR,GRAY"
                                          : ":DISP:DATA? BMP,SCR"));
    if (*c.identified) {
      Tool id = RunTool("identify", "-format '%m %w %h' '" + path + "'");
      EXPECT_EQ(id.exit_code, 0) << c.name << ": " << id.output;
      EXPECT_EQ(id.output, std::string(c.identified) + " 16 8") << c.name;
    }
  }
  // JPEG at 24 bits; the others at 8 bits (identify's depth and colour type).
  EXPECT_EQ(RunTool("identify", "-format '%r' '" + Path("shot.jpg") + "'").output,
            "DirectClass sRGB ");
  EXPECT_THAT(RunTool("identify", "-format '%r' '" + Path("shot.bmp") + "'").output,
              HasSubstr("PseudoClass"));
  Tool wmf = RunTool("wmf2svg", "-o '" + Path("wmf.svg") + "' '" + Path("shot.wmf") + "'");
  EXPECT_EQ(wmf.exit_code, 0) << wmf.output;
  EXPECT_TRUE(std::filesystem::exists(Path("wmf.svg")));
  Tool emf = RunTool("emf2svg-conv", "-i '" + Path("shot.emf") + "' -o '" + Path("emf.svg") + "'");
  EXPECT_EQ(emf.exit_code, 0) << emf.output;
  EXPECT_TRUE(std::filesystem::exists(Path("emf.svg")));

  // The picture object holds an enhanced metafile.
  ScriptBmp(bmp);
  ComPtr<IPictureDisp> picture;
  ASSERT_EQ(
      core->GetScreenImage(server::VexR7100_ImageFormat_BMP, picture.ReleaseAndGetAddressOf()),
      S_OK);
  std::int16_t type = 0;
  picture->get_Type(&type);
  EXPECT_EQ(type, PICTYPE_ENHMETAFILE);
  ASSERT_EQ(picture->SaveAsFile(Bstr(Path("picture.emf"))), S_OK);
  Tool pasted =
      RunTool("emf2svg-conv", "-i '" + Path("picture.emf") + "' -o '" + Path("picture.svg") + "'");
  EXPECT_EQ(pasted.exit_code, 0) << pasted.output;
}

}  // namespace
}  // namespace vex::test
