// The options of `mcubes mesh` as parsed (tools/mesh_flags.cpp), and the
// command that runs them (tools/mesh_command.cpp).
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "mcubes/meshing.h"
#include "mesh/scene/grid.h"
#include "scene/scene.h"
#include "tools/volume_options.h"

struct MeshOptions {
  std::int32_t tick = 0;
  std::string format;  // empty: from the output's extension, else obj
  std::string output = "-";
  std::int32_t divisions = GridDivisions;
  double iso = SceneIsoLevel;
  std::string isoText;  // as given: a number, or otsu (volumes)
  bool otsu = false;    // the volume's level is Otsu's
  bool unwelded = false;
  bool ascii = false;
  std::string labels;            // "all" or a list; empty: one iso level
  std::string labelTable;        // --label-names: the labels' names and colours
  bool conforming = false;       // the labels' meshes share their interfaces
  bool interfaces = false;       // with conforming: a surface per pair of touching labels
  std::string space = "file";    // file, ras or lps
  std::string inside = "above";  // above or below: which side is the volume's object
  const CLI::Option* insideOption = nullptr;
  const CLI::Option* isoOption = nullptr;
  VolumeOptions volume;
  mcubes::SurfaceOptions surface;  // the library's defaults, but for the flags below
  mcubes::FinishOptions finishing;
};

// Meshes the scene or the volume the options name and writes it, or ends
// the command with why not (failCommand).
void runMesh(MeshOptions options);
