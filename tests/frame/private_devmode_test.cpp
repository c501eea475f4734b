// The private devmode record: sizing, defaults, conversion from shorter and
// foreign records, and the merge that feeds the media type.
#include "frame/private_devmode.h"

#include <gtest/gtest.h>

#include <cstring>
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

TEST(DevModeConvert, ForeignSignatureGetsFreshHeaderOnly) {
  auto in = Filled(7196, 0x11);
  auto out = Filled(7196, 0x22);
  AsRecord(out)->signature = frame::kPrivateDevmodeSignature;
  AsRecord(in)->signature = 0x58585858;  // "XXXX"
  frame::ConvertDevmode(AsRecord(in), AsRecord(out));
  EXPECT_EQ(AsRecord(out)->size, 7196u);
  EXPECT_EQ(AsRecord(out)->signature, frame::kPrivateDevmodeSignature);
  EXPECT_EQ(AsRecord(out)->version, 1u);
  EXPECT_EQ(AsRecord(out)->reserved12, 0u);
  EXPECT_EQ(AsRecord(out)->printSpeed, 0x22);
  EXPECT_EQ(out[7195], 0x22);
}

TEST(DevModeConvert, ShorterRecordContributesItsLeadingBytes) {
  std::vector<unsigned char> in(100, 0x33);
  std::uint32_t size = 100;
  std::memcpy(in.data(), &size, 4);
  std::memcpy(in.data() + 4, "TFSM", 4);
  auto out = Filled(7196, 0x44);
  frame::WriteDevmodeHeader(AsRecord(out));
  frame::ConvertDevmode(reinterpret_cast<PrivateDevmode*>(in.data()), AsRecord(out));
  EXPECT_EQ(AsRecord(out)->size, 7196u);
  EXPECT_EQ(AsRecord(out)->version, 1u);
  EXPECT_EQ(AsRecord(out)->reserved12, 0x33333333u);  // copied after being cleared
  EXPECT_EQ(out[99], 0x33);
  EXPECT_EQ(out[100], 0x44);
  EXPECT_EQ(out[7195], 0x44);
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

TEST(DevModeMerge, PluginKeepsTheMergedMediaType) {
  auto* plugin = static_cast<frame::RenderPlugin*>(testing_support::NewPlugin());
  ASSERT_NE(plugin, nullptr);
  EXPECT_FALSE(plugin->hasMediaType());

  winabi::DEVMODEW publicIn{};
  publicIn.dmMediaType = 260;
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
