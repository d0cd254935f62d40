// Label tables as the tools that make label maps write them, read into
// names and colours; a line that is none of their forms is refused by its
// number.
#include "volume/label_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"
#include "volume/volume.h"

using namespace mcubes::internal;

namespace {

struct Entry {
  std::int64_t label;
  std::string name;
  std::array<std::uint8_t, 3> colour;
};

TEST(LabelTable, ReadsTheFormatsOfFreeSurferSlicerItkSnapAndAtlasTables) {
  const struct {
    const char* name;
    const char* text;
    std::vector<Entry> expected;  // empty: refused, with `refusal` in the message
    const char* refusal;
  } cases[] = {
      {"FreeSurfer's colour table",
       "#$Id: FreeSurferColorLUT.txt\n\n#No. Label Name:   R   G   B   A\n"
       "0   Unknown                   0   0   0   0\n"
       "17  Left-Hippocampus        220 216  20   0\n",
       {{0, "Unknown", {0, 0, 0}}, {17, "Left-Hippocampus", {220, 216, 20}}},
       ""},
      {"ITK-SNAP's label description",
       "################################################\n"
       "# IDX   -R-  -G-  -B-  -A--  VIS MSH  LABEL\n"
       "    0     0    0    0        0  0  0    \"Clear Label\"\n"
       "    5   255  128    0        1  1  1    \"right lung\"\n",
       {{0, "Clear Label", {0, 0, 0}}, {5, "right lung", {255, 128, 0}}},
       ""},
      {"a CSV atlas with a heading and colours from 0 to 1",
       "index,name,red,green,blue\n1,Precentral_L,1.0,0.5,0.0\n2,Precentral_R,0,128,255\n",
       {{1, "Precentral_L", {255, 128, 0}}, {2, "Precentral_R", {0, 128, 255}}},
       ""},
      {"a tab-separated table of names alone",
       "1\tFrontal Pole\n2\tInsular Cortex\n",
       {{1, "Frontal Pole", {128, 128, 128}}, {2, "Insular Cortex", {128, 128, 128}}},
       ""},
      {"a line of two colours", "1 a 3 4\n", {}, "line 1, '1 a 3 4', is no label"},
      {"a colour beyond 255", "1 a 300 0 0 0\n", {}, "line 1"},
      {"a label given twice", "1,a\n2,b\n1,c\n", {}, "line 3 gives label 1 a second time"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryDirectory dir;
    const std::string path = (dir.path() / "table.txt").string();
    std::ofstream(path) << c.text;
    if (c.expected.empty()) {
      try {
        readLabelTable(path);
        ADD_FAILURE() << "not refused";
      } catch (const VolumeError& error) {
        EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << error.what();
      }
      continue;
    }
    const std::map<std::int64_t, LabelStyle> table = readLabelTable(path);
    ASSERT_EQ(table.size(), c.expected.size());
    for (const Entry& entry : c.expected) {
      ASSERT_EQ(table.count(entry.label), 1u) << entry.label;
      EXPECT_EQ(table.at(entry.label).name, entry.name);
      EXPECT_EQ(table.at(entry.label).colour, entry.colour) << entry.name;
    }
  }
}

}  // namespace
