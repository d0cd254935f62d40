#include "tools/cli_words.h"

#include <map>

#include "mcubes/error.h"
#include "volume/argument_words.h"

using namespace mcubes::internal;

std::string commandLineWord(const std::string& name) {
  static const std::map<std::string, std::string> words = {
      {"dims", "--dims X,Y,Z"},
      {"type", "--type T"},
      {"endian", "--endian little|big"},
      {"spacing", "--spacing SX,SY,SZ"},
      {"origin", "--origin OX,OY,OZ"},
      {"series", "--series"},
      {"outside_references", "--allow-outside-references"},
      {"level", "--iso V"},
      {"otsu", "--iso otsu"},
      {"inside", "--inside"},
      {"inside_below", "--inside below"},
      {"unwelded", "--unwelded"},
      {"unclosed", "an open mesh"},
      {"normals", "--normals"},
      {"threads", "--threads"},
      {"labels", "--labels"},
      {"label_table", "--label-names FILE"},
      {"conforming", "--conforming"},
      {"interfaces", "--interfaces"},
      {"space", "--space"},
      {"format", "--format"},
      {"keep_largest", "--keep-largest"},
      {"min_component", "--min-component"},
      {"smooth", "--smooth"},
      {"passband", "--smooth-passband"},
      {"decimate", "--decimate"},
  };
  return mcubes::wordFrom(words, name);
}

std::string inFlags(const std::string& text) { return wordArguments(text, commandLineWord); }
