#!/usr/bin/python3
"""Renders PLY meshes side by side into one PNG, lit, in their vertex colours,
with their edges faintly drawn: how docs/label_meshes.png was made. A
documentation aid only (VTK draws it; nothing in the product or its tests
uses it). Needs python3-vtk9 and a display (xvfb-run -a works):

    mcubes sample labels --size 48 -o cells.nrrd
    mcubes mesh --volume cells.nrrd --labels 1,2,3 -o raw.ply
    mcubes mesh --volume cells.nrrd --labels 1,2,3 --smooth 20 --decimate 0.2 -o smooth.ply
    xvfb-run -a docs/render_meshes.py raw.ply smooth.ply -o docs/label_meshes.png
"""
import argparse

import vtk


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("meshes", nargs="+", help="PLY files, drawn left to right")
    parser.add_argument("-o", "--output", required=True, help="the PNG to write")
    parser.add_argument("--azimuth", type=float, default=35)
    parser.add_argument("--elevation", type=float, default=25)
    options = parser.parse_args()
    window = vtk.vtkRenderWindow()
    window.SetOffScreenRendering(1)
    window.SetSize(600 * len(options.meshes), 560)
    for n, name in enumerate(options.meshes):
        reader = vtk.vtkPLYReader()
        reader.SetFileName(name)
        mapper = vtk.vtkPolyDataMapper()
        mapper.SetInputConnection(reader.GetOutputPort())
        surface = vtk.vtkActor()
        surface.SetMapper(mapper)
        edges = vtk.vtkActor()
        edges.SetMapper(mapper)
        edges.GetProperty().SetRepresentationToWireframe()
        edges.GetProperty().SetColor(0, 0, 0)
        edges.GetProperty().SetOpacity(0.15)
        edges.GetProperty().LightingOff()
        renderer = vtk.vtkRenderer()
        renderer.SetViewport(n / len(options.meshes), 0, (n + 1) / len(options.meshes), 1)
        renderer.SetBackground(0.25, 0.25, 0.25)
        renderer.AddActor(surface)
        renderer.AddActor(edges)
        renderer.GetActiveCamera().Azimuth(options.azimuth)
        renderer.GetActiveCamera().Elevation(options.elevation)
        renderer.ResetCamera()
        renderer.GetActiveCamera().Zoom(1.3)
        window.AddRenderer(renderer)
    window.Render()
    picture = vtk.vtkWindowToImageFilter()
    picture.SetInput(window)
    writer = vtk.vtkPNGWriter()
    writer.SetFileName(options.output)
    writer.SetInputConnection(picture.GetOutputPort())
    writer.Write()


if __name__ == "__main__":
    main()
