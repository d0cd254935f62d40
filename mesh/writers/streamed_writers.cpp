#include "mesh/writers/streamed_writers.h"

#include <vector>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "mesh/writers/mesh_writers.h"

namespace mcubes::internal {

namespace {

bool writeAll(std::FILE* out, const void* bytes, std::size_t size) {
  return size == 0 || std::fwrite(bytes, size, 1, out) == 1;
}

class StlFile : public StreamedFile {
 public:
  StlFile(std::FILE* out, const std::string& comment) : out_(out), facets_(out, StlFacetBytes) {
    putStlHeader(header_, comment, 0);
    ok_ = writeAll(out, header_, sizeof header_);
  }
  void vertex(const Point3&, const Point3&) override {}
  void face(const std::array<std::uint32_t, 3>&, const Point3& p, const Point3& q,
            const Point3& r) override {
    putStlFacet(facets_.next(), p, q, r);
    ++faces_;
  }
  bool finish() override {
    ok_ = facets_.finish() && ok_;
    putLittleEndian32(header_ + 80, static_cast<std::uint32_t>(faces_));
    ok_ = ok_ && std::fseek(out_, 80, SEEK_SET) == 0 && writeAll(out_, header_ + 80, 4) &&
          std::fseek(out_, 0, SEEK_END) == 0;
    return ok_;
  }

 private:
  std::FILE* out_;
  RecordWriter facets_;
  unsigned char header_[StlHeaderBytes];
  std::uint64_t faces_ = 0;
  bool ok_;
};

// An anonymous temporary file, gone when closed.
struct TemporaryFile {
  TemporaryFile() : file(std::tmpfile()) {}
  ~TemporaryFile() {
    if (file) std::fclose(file);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  std::FILE* file;
};

// Appends what `from` holds to `out`: within the kernel where it can (the
// bytes not brought up and written back), else through a buffer.
bool copyInto(std::FILE* out, std::FILE* from) {
  if (std::fflush(from) != 0 || std::fseek(from, 0, SEEK_SET) != 0) return false;
#if defined(__linux__)
  if (std::fflush(out) != 0) return false;
  for (;;) {
    const ssize_t copied =
        copy_file_range(fileno(from), nullptr, fileno(out), nullptr, std::size_t{1} << 30, 0);
    if (copied == 0) return std::fseek(out, 0, SEEK_END) == 0;
    if (copied < 0) break;
  }
  // Not between these files (another file system, an old kernel): from
  // where the kernel stopped, through a buffer.
  if (std::fseek(out, 0, SEEK_END) != 0 ||
      std::fseek(from, lseek(fileno(from), 0, SEEK_CUR), SEEK_SET) != 0) {
    return false;
  }
#endif
  std::vector<unsigned char> buffer(1 << 20);
  for (;;) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), from);
    if (!writeAll(out, buffer.data(), got)) return false;
    if (got < buffer.size()) return !std::ferror(from);
  }
}

class PlyFile : public StreamedFile {
 public:
  PlyFile(std::FILE* out, const std::string& comment, bool normals)
      : out_(out),
        comment_(comment),
        normals_(normals),
        vertices_(vertexFile_.file, plyVertexBytes(normals)),
        faces_(faceFile_.file, PlyFaceBytes),
        ok_(vertexFile_.file && faceFile_.file) {}
  void vertex(const Point3& position, const Point3& normal) override {
    if (ok_) putPlyVertex(vertices_.next(), position, normals_ ? &normal : nullptr);
    ++vertexCount_;
  }
  void face(const std::array<std::uint32_t, 3>& face, const Point3&, const Point3&,
            const Point3&) override {
    if (ok_) putPlyFace(faces_.next(), face);
    ++faceCount_;
  }
  bool finish() override {
    if (!ok_) return false;
    ok_ = vertices_.finish() && faces_.finish();
    const std::string header =
        plyHeader(comment_, vertexCount_, faceCount_, normals_, PlyEncoding::Binary);
    return ok_ && writeAll(out_, header.data(), header.size()) &&
           copyInto(out_, vertexFile_.file) && copyInto(out_, faceFile_.file);
  }

 private:
  std::FILE* out_;
  std::string comment_;
  bool normals_;
  TemporaryFile vertexFile_, faceFile_;
  RecordWriter vertices_, faces_;
  std::size_t vertexCount_ = 0, faceCount_ = 0;
  bool ok_;
};

}  // namespace

std::unique_ptr<StreamedFile> streamedStl(std::FILE* out, const std::string& comment) {
  return std::make_unique<StlFile>(out, comment);
}

std::unique_ptr<StreamedFile> streamedPly(std::FILE* out, const std::string& comment,
                                          bool normals) {
  return std::make_unique<PlyFile>(out, comment, normals);
}

}  // namespace mcubes::internal
