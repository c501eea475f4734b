// The private devmode record: sizing, defaults, conversion from shorter and
// foreign records, and the merge that feeds the media type.
#include "frame/private_devmode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame/module.h"
#include "frame/render_plugin.h"
#include "platform/os.h"
#include "support/plugin.h"

namespace {

using frame::PrivateDevmode;

std::vector<unsigned char> Filled(std::size_t size, unsigned char value) {
  return std::vector<unsigned char>(size, value);
}

PrivateDevmode* AsRecord(std::vector<unsigned char>& bytes) {
  return reinterpret_cast<PrivateDevmode*>(bytes.data());
}

TEST(DevModeRequest, SizeDefaultAndBadRequests) {
  winabi::OEMDMPARAM param{};
  EXPECT_EQ(frame::HandleDevModeRequest(frame::OEMDM_SIZE, &param, nullptr), winabi::S_OK);
  EXPECT_EQ(param.cbBufSize, 7196u);

  auto out = Filled(7196, 0xAB);
  param.pOEMDMOut = out.data();
  EXPECT_EQ(frame::HandleDevModeRequest(frame::OEMDM_DEFAULT, &param, nullptr), winabi::S_OK);
  EXPECT_EQ(AsRecord(out)->size, 7196u);
  EXPECT_EQ(std::memcmp(out.data() + 4, "TFSM", 4), 0);
  EXPECT_EQ(AsRecord(out)->version, 1u);
  EXPECT_EQ(AsRecord(out)->reserved12, 0u);
  EXPECT_EQ(AsRecord(out)->reserved16, 0xABABABABu);  // defaults touch only the header
  EXPECT_EQ(out[7195], 0xAB);

  for (winabi::DWORD mode : {0u, 5u, 0xFFFFFFFFu}) {
    os::SetLastError(0);
    EXPECT_EQ(frame::HandleDevModeRequest(mode, &param, nullptr), winabi::E_FAIL);
    EXPECT_EQ(os::GetLastError(), 87u);
  }
  os::SetLastError(0);
  EXPECT_EQ(frame::HandleDevModeRequest(frame::OEMDM_SIZE, nullptr, nullptr), winabi::E_FAIL);
  EXPECT_EQ(os::GetLastError(), 87u);
}

TEST(DevModeConvert, LongerClaimedSizeCopiesOnlyOurRecord) {
  auto in = Filled(7196, 0x55);
  frame::WriteDevmodeHeader(AsRecord(in));
  AsRecord(in)->size = 100000;
  auto out = Filled(7196 + 16, 0x66);
  frame::WriteDevmodeHeader(AsRecord(out));
  frame::ConvertDevmode(AsRecord(in), AsRecord(out));
  EXPECT_EQ(out[7195], 0x55);
  EXPECT_EQ(out[7196], 0x66);
  EXPECT_EQ(AsRecord(out)->size, 7196u);
  frame::ConvertDevmode(nullptr, AsRecord(out));  // no input: nothing happens
  EXPECT_EQ(out[7195], 0x55);
}

// The input record sits in the private area of a devmode buffer, behind
// other private data of `lead` bytes; what follows the area is not the
// record's, whatever its size word says. `copied` bytes of the record come
// over (0: taken as foreign, a fresh header only).
void ExpectConverted(winabi::DWORD mode, std::uint32_t lead, std::uint32_t driverExtra,
                     std::uint32_t sizeWord, bool ourSignature, std::uint32_t copied) {
  // Public devmode, private area, then bytes that belong to nobody.
  std::vector<unsigned char> buffer(sizeof(winabi::DEVMODEW) + driverExtra + 8000, 0xEE);
  auto* publicIn = reinterpret_cast<winabi::DEVMODEW*>(buffer.data());
  *publicIn = winabi::DEVMODEW{};
  publicIn->dmSize = sizeof(winabi::DEVMODEW);
  publicIn->dmDriverExtra = static_cast<winabi::WORD>(driverExtra);
  unsigned char* area = buffer.data() + sizeof(winabi::DEVMODEW);
  std::fill(area, area + driverExtra, 0x33);
  unsigned char* record = area + lead;
  std::memcpy(record, &sizeWord, 4);
  std::memcpy(record + 4, ourSignature ? "TFSM" : "XXXX", 4);

  auto out = Filled(7196, 0x22);
  frame::WriteDevmodeHeader(AsRecord(out));
  winabi::OEMDMPARAM param{};
  param.pPublicDMIn = publicIn;
  param.pOEMDMIn = record;
  param.pOEMDMOut = out.data();
  ASSERT_EQ(frame::HandleDevModeRequest(mode, &param, nullptr), winabi::S_OK);
  EXPECT_EQ(AsRecord(out)->size, 7196u);
  EXPECT_EQ(AsRecord(out)->signature, frame::kPrivateDevmodeSignature);
  EXPECT_EQ(AsRecord(out)->version, 1u);
  // A merge writes a fresh header over what it copied.
  const std::size_t reserved12 = mode == frame::OEMDM_MERGE ? 0 : copied;
  for (std::size_t i = 12; i < out.size(); ++i) {
    if (out[i] != (i < 16 ? (i < reserved12 ? 0x33 : 0) : i < copied ? 0x33 : 0x22)) {
      ADD_FAILURE() << "output byte " << i << " is " << int(out[i]);
      break;
    }
  }
}

TEST(DevModeConvert, NeverReadsPastThePrivateArea) {
  const struct {
    const char* what;
    std::uint32_t lead, driverExtra, sizeWord;
    bool ourSignature;
    std::uint32_t copied;
  } cases[] = {
      {"12-byte record claiming 16", 0, 12, 16, true, 0},
      {"12-byte record claiming 8000", 0, 12, 8000, true, 0},
      {"area one short of a header", 0, 19, 7196, true, 0},
      {"area of just a header", 0, 20, 7196, true, 20},
      {"100-byte area", 0, 100, 7196, true, 100},
      {"record 30 bytes into a 100-byte area", 30, 100, 7196, true, 70},
      {"honest whole record", 0, 7196, 7196, true, 7196},
      {"honest short record in a larger area", 0, 8000, 100, true, 100},
      {"size word one short of a header", 0, 7196, 19, true, 0},
      {"size word of just a header", 0, 7196, 20, true, 20},
      {"foreign signature", 0, 7196, 7196, false, 0},
  };
  for (winabi::DWORD mode : {frame::OEMDM_CONVERT, frame::OEMDM_MERGE}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (mode == frame::OEMDM_MERGE ? " (merge)" : ""));
      ExpectConverted(mode, c.lead, c.driverExtra, c.sizeWord, c.ourSignature, c.copied);
    }
  }
  // Every area size up to past a whole record, the record claiming to be whole.
  for (std::uint32_t extra = 0; extra <= 8000; ++extra) {
    SCOPED_TRACE(extra);
    const std::uint32_t copied = extra < 20 ? 0 : std::min<std::uint32_t>(extra, 7196);
    ExpectConverted(extra % 2 ? frame::OEMDM_MERGE : frame::OEMDM_CONVERT, 0, extra, 7196, true,
                    copied);
    if (HasFailure()) break;
  }
}

// A record inside its devmode's private area may be read to the area's end;
// one anywhere else only as far as dmDriverExtra.
TEST(DevModeConvert, ReadableBytesByWhereTheRecordLies) {
  constexpr std::uint32_t kExtra = 300;
  std::vector<unsigned char> buffer(64 + sizeof(winabi::DEVMODEW) + kExtra + 64);
  auto* dm = reinterpret_cast<winabi::DEVMODEW*>(buffer.data() + 64);
  dm->dmSize = sizeof(winabi::DEVMODEW);
  dm->dmDriverExtra = kExtra;
  const unsigned char* start = buffer.data() + 64;
  const unsigned char* end = start + sizeof(winabi::DEVMODEW) + kExtra;
  const struct {
    const unsigned char* at;
    std::uint32_t readable;
  } cases[] = {
      {start - 64, kExtra},
      {start - 1, kExtra},
      {start, sizeof(winabi::DEVMODEW) + kExtra},
      {start + sizeof(winabi::DEVMODEW), kExtra},
      {end - 1, 1},
      {end, kExtra},
      {end + 63, kExtra},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(frame::ReadablePrivateBytes(dm, c.at), c.readable) << (c.at - start);
  }
  EXPECT_EQ(frame::ReadablePrivateBytes(nullptr, start), frame::kUnknownReadable);
}

TEST(DevModeMerge, PluginKeepsTheMergedMediaType) {
  auto* plugin = static_cast<frame::RenderPlugin*>(testing_support::NewPlugin());
  ASSERT_NE(plugin, nullptr);
  EXPECT_FALSE(plugin->hasMediaType());

  winabi::DEVMODEW publicIn{};
  publicIn.dmMediaType = 260;
  publicIn.dmDriverExtra = 7196;
  auto in = Filled(7196, 0x77);
  frame::WriteDevmodeHeader(AsRecord(in));
  auto outRecord = Filled(7196, 0);
  frame::WriteDevmodeHeader(AsRecord(outRecord));
  winabi::OEMDMPARAM param{};
  param.pPublicDMIn = &publicIn;
  param.pOEMDMIn = in.data();
  param.pOEMDMOut = outRecord.data();
  EXPECT_EQ(plugin->DevMode(frame::OEMDM_MERGE, &param), winabi::S_OK);
  EXPECT_TRUE(plugin->hasMediaType());
  EXPECT_EQ(plugin->mediaType(), 260u);
  EXPECT_EQ(AsRecord(outRecord)->printSpeed, 0x77);
  EXPECT_EQ(AsRecord(outRecord)->reserved12, 0u);
  EXPECT_EQ(plugin->Release(), 0u);
}

}  // namespace
