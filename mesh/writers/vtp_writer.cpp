// VTK XML PolyData with its arrays appended raw: each array is its byte
// count (the header type) and then its values, at the offset its DataArray
// element names.
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "mesh/finishing/patient_space.h"
#include "mesh/writers/binary_records.h"
#include "mesh/writers/mesh_writers.h"

namespace mcubes::internal {

namespace {

// An XML comment may hold no "--" and may not end in '-'.
std::string commentText(const std::string& text) {
  std::string safe;
  for (const char c : text) {
    if (c == '-' && !safe.empty() && safe.back() == '-') safe += ' ';
    safe += c;
  }
  if (!safe.empty() && safe.back() == '-') safe += ' ';
  return safe;
}

// Writes integers of 4 or 8 bytes, whichever the file declared.
class IntegerRecords {
 public:
  IntegerRecords(std::FILE* out, bool wide) : records_(out, wide ? 8 : 4), wide_(wide) {}
  void put(std::uint64_t value) {
    unsigned char* record = records_.next();
    if (wide_) {
      putLittleEndian64(record, value);
    } else {
      putLittleEndian32(record, static_cast<std::uint32_t>(value));
    }
  }
  bool finish() { return records_.finish(); }

 private:
  RecordWriter records_;
  bool wide_;
};

// A patient space as 3D Slicer reads it from a VTK file: the one string of
// the field data array SPACE (an XML string array is its characters' codes,
// each string ended by 0). None for LAS and the file's own space.
std::string spaceField(WorldSpace space) {
  if (space != WorldSpace::Ras && space != WorldSpace::Lps) return "";
  std::string codes;
  for (const char* c = worldSpaceName(space); *c != '\0'; ++c) {
    codes += std::to_string(int(*c)) + " ";
  }
  return "<FieldData>\n<Array type=\"String\" Name=\"SPACE\" NumberOfTuples=\"1\" "
         "format=\"ascii\">" +
         codes + "0</Array>\n</FieldData>\n";
}

}  // namespace

bool writeVtp(std::FILE* out, const IndexedMesh& mesh, const std::string& comment, WorldSpace space,
              const std::vector<MeshPart>& parts) {
  const bool normals = !mesh.normals.empty(), labelled = !parts.empty();
  const std::uint64_t points = mesh.vertices.size(), faces = mesh.faces.size();
  // Four-byte counts and indices unless the mesh needs more, as most
  // readers expect.
  const std::uint64_t pointBytes = 12 * points;
  const bool wideHeader = pointBytes > std::numeric_limits<std::uint32_t>::max() ||
                          12 * faces > std::numeric_limits<std::uint32_t>::max();
  const bool wideIndices = 3 * faces > std::uint64_t{std::numeric_limits<std::int32_t>::max()};
  const std::uint64_t header = wideHeader ? 8 : 4, index = wideIndices ? 8 : 4;
  const std::uint64_t connectivityBytes = 3 * faces * index, offsetBytes = faces * index;
  const std::uint64_t pointsAt = 0, connectivityAt = pointsAt + header + pointBytes;
  const std::uint64_t offsetsAt = connectivityAt + header + connectivityBytes;
  const std::uint64_t normalsAt = offsetsAt + header + offsetBytes;
  const std::uint64_t labelsAt = normalsAt + (normals ? header + pointBytes : 0);
  const char* indexType = wideIndices ? "Int64" : "Int32";

  bool ok =
      std::fprintf(
          out,
          "<?xml version=\"1.0\"?>\n<!-- %s -->\n"
          "<VTKFile type=\"PolyData\" version=\"1.0\" byte_order=\"LittleEndian\" "
          "header_type=\"%s\">\n<PolyData>\n%s"
          "<Piece NumberOfPoints=\"%llu\" NumberOfVerts=\"0\" NumberOfLines=\"0\" "
          "NumberOfStrips=\"0\" NumberOfPolys=\"%llu\">\n"
          "<Points>\n<DataArray type=\"Float32\" NumberOfComponents=\"3\" format=\"appended\" "
          "offset=\"%llu\"/>\n</Points>\n<Polys>\n"
          "<DataArray type=\"%s\" Name=\"connectivity\" format=\"appended\" offset=\"%llu\"/>\n"
          "<DataArray type=\"%s\" Name=\"offsets\" format=\"appended\" offset=\"%llu\"/>\n"
          "</Polys>\n",
          commentText(comment).c_str(), wideHeader ? "UInt64" : "UInt32", spaceField(space).c_str(),
          static_cast<unsigned long long>(points), static_cast<unsigned long long>(faces),
          static_cast<unsigned long long>(pointsAt), indexType,
          static_cast<unsigned long long>(connectivityAt), indexType,
          static_cast<unsigned long long>(offsetsAt)) > 0;
  if (normals) {
    ok = std::fprintf(out,
                      "<PointData Normals=\"Normals\">\n<DataArray type=\"Float32\" "
                      "Name=\"Normals\" NumberOfComponents=\"3\" format=\"appended\" "
                      "offset=\"%llu\"/>\n</PointData>\n",
                      static_cast<unsigned long long>(normalsAt)) > 0 &&
         ok;
  }
  if (labelled) {
    ok = std::fprintf(out,
                      "<CellData Scalars=\"label\">\n<DataArray type=\"Int32\" Name=\"label\" "
                      "format=\"appended\" offset=\"%llu\"/>\n</CellData>\n",
                      static_cast<unsigned long long>(labelsAt)) > 0 &&
         ok;
  }
  ok = std::fputs("</Piece>\n</PolyData>\n<AppendedData encoding=\"raw\">\n_", out) >= 0 && ok;

  IntegerRecords counts(out, wideHeader);
  RecordWriter coordinates(out, 12);
  counts.put(pointBytes);
  ok = counts.finish() && ok;
  for (const Point3& v : mesh.vertices) putPoint(coordinates.next(), v);
  ok = coordinates.finish() && ok;
  IntegerRecords indices(out, wideIndices);
  counts.put(connectivityBytes);
  ok = counts.finish() && ok;
  for (const auto& f : mesh.faces) {
    for (const std::uint32_t v : f) indices.put(v);
  }
  ok = indices.finish() && ok;
  counts.put(offsetBytes);
  ok = counts.finish() && ok;
  for (std::uint64_t f = 1; f <= faces; ++f) indices.put(3 * f);
  ok = indices.finish() && ok;
  if (normals) {
    counts.put(pointBytes);
    ok = counts.finish() && ok;
    for (const Point3& n : mesh.normals) putPoint(coordinates.next(), n);
    ok = coordinates.finish() && ok;
  }
  if (labelled) {
    counts.put(4 * faces);
    ok = counts.finish() && ok;
    RecordWriter labels(out, 4);
    for (const MeshPart& part : parts) {
      for (std::size_t f = 0; f < part.faces; ++f) {
        putLittleEndian32(labels.next(), static_cast<std::uint32_t>(part.label));
      }
    }
    ok = labels.finish() && ok;
  }
  return std::fputs("\n</AppendedData>\n</VTKFile>\n", out) >= 0 && ok;
}

}  // namespace mcubes::internal
