// Writes itk_rotated.mha with ITK's MetaImageIO: 4 x 3 x 2 int16 voxels
// (n * 37 - 400, i fastest), an origin, spacings and a rotated direction,
// and prints where ITK places a few indices in the world. Built against
// Debian's libinsighttoolkit5-dev (find_package(ITK COMPONENTS ITKIOMeta
// ITKCommon ITKIOImageBase)); the tests need no ITK.
#include <itkImage.h>
#include <itkImageFileWriter.h>
#include <itkImageRegionIterator.h>
#include <itkMetaImageIOFactory.h>

#include <cstdio>

int main() {
  itk::MetaImageIOFactory::RegisterOneFactory();
  using Image = itk::Image<short, 3>;
  auto image = Image::New();
  Image::RegionType region;
  region.SetSize({{4, 3, 2}});
  image->SetRegions(region);
  image->Allocate();
  short value = -400;
  for (itk::ImageRegionIterator<Image> it(image, region); !it.IsAtEnd(); ++it, value += 37) {
    it.Set(value);
  }
  image->SetOrigin(itk::Point<double, 3>(std::array<double, 3>{1.5, -2.0, 3.25}.data()));
  const double spacing[3] = {0.5, 2.0, 1.25};
  image->SetSpacing(spacing);
  // Columns are the index axes' directions: i along +y, j along -x, k along z.
  Image::DirectionType direction;
  direction.Fill(0.0);
  direction[1][0] = 1.0;
  direction[0][1] = -1.0;
  direction[2][2] = 1.0;
  image->SetDirection(direction);
  auto writer = itk::ImageFileWriter<Image>::New();
  writer->SetFileName("itk_rotated.mha");
  writer->SetInput(image);
  writer->Update();
  for (const Image::IndexType index : {Image::IndexType{{1, 0, 0}}, Image::IndexType{{0, 1, 0}},
                                       Image::IndexType{{0, 0, 1}}, Image::IndexType{{3, 2, 1}}}) {
    Image::PointType point;
    image->TransformIndexToPhysicalPoint(index, point);
    std::printf("index %ld %ld %ld -> %g %g %g\n", index[0], index[1], index[2], point[0], point[1],
                point[2]);
  }
}
