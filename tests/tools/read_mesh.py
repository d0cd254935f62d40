#!/usr/bin/python3
"""Reads a mesh file with another project's reader and prints what it found.

Usage: read_mesh.py glb|vtp|gii PATH

Prints "points N", "faces N", "normals N" and, for files holding parts,
"parts N" (glTF: meshes, each with a material) or "labels A B ..." (VTK: the
faces' distinct labels). Exits 77 with the reason when the reader is not
installed, 1 when the file is refused.
"""
import json
import os
import shutil
import subprocess
import sys

SKIP = 77

# Khronos' glTF validator, an npm package run by Node; every issue it
# reports (errors, warnings, hints) fails the file.
VALIDATE = """
const validator = require('gltf-validator');
const bytes = new Uint8Array(require('fs').readFileSync(process.argv[1]));
validator.validateBytes(bytes).then(
    (report) => console.log(JSON.stringify(report)),
    (error) => { console.error(String(error)); process.exit(1); });
"""


def skip(reason):
    print(reason)
    sys.exit(SKIP)


def read_glb(path):
    if not shutil.which("node") or not shutil.which("npm"):
        skip("Node.js and npm are not installed (scripts/install-deps --test)")
    modules = subprocess.run(["npm", "root", "-g"], capture_output=True, text=True).stdout.strip()
    environment = dict(os.environ, NODE_PATH=modules)
    found = subprocess.run(["node", "-e", "require('gltf-validator')"], env=environment,
                           capture_output=True)
    if found.returncode != 0:
        skip("the npm package gltf-validator is not installed (scripts/install-deps --test)")
    run = subprocess.run(["node", "-e", VALIDATE, path], env=environment,
                         capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit("gltf-validator failed: " + run.stderr)
    report = json.loads(run.stdout)
    issues = report["issues"]
    if issues["numErrors"] + issues["numWarnings"] + issues["numInfos"] + issues["numHints"]:
        sys.exit("gltf-validator: " + json.dumps(issues["messages"]))
    info = report["info"]
    print("points", info["totalVertexCount"])
    print("faces", info["totalTriangleCount"])
    print("normals", info["totalVertexCount"] if info["maxAttributes"] == 2 else 0)
    if info["materialCount"]:
        print("parts", info["drawCallCount"])


def read_vtp(path):
    try:
        from vtkmodules.vtkIOXML import vtkXMLPolyDataReader
    except ImportError:
        skip("VTK's Python module is not installed (Debian: python3-vtk9)")
    reader = vtkXMLPolyDataReader()
    reader.SetFileName(path)
    reader.Update()
    if reader.GetErrorCode() != 0:
        sys.exit("vtkXMLPolyDataReader refused " + path)
    data = reader.GetOutput()
    if data.GetNumberOfCells() != data.GetNumberOfPolys():
        sys.exit("cells other than polygons")
    normals = data.GetPointData().GetNormals()
    print("points", data.GetNumberOfPoints())
    print("faces", data.GetNumberOfPolys())
    print("normals", normals.GetNumberOfTuples() if normals else 0)
    labels = data.GetCellData().GetArray("label")
    if labels:
        values = sorted({int(labels.GetValue(i)) for i in range(labels.GetNumberOfTuples())})
        print("labels", *values)


def read_gii(path):
    try:
        import nibabel
    except ImportError:
        skip("nibabel is not installed (Debian: python3-nibabel)")
    image = nibabel.load(path)
    arrays = {nibabel.nifti1.intent_codes.label[a.intent]: a.data for a in image.darrays}
    points, faces = arrays["pointset"], arrays["triangle"]
    if points.dtype != "float32" or faces.dtype != "int32" or points.shape[1:] != (3,) \
            or faces.shape[1:] != (3,) or (faces.size and faces.max() >= len(points)):
        sys.exit("not a float32 point set and its int32 triangles")
    print("points", len(points))
    print("faces", len(faces))
    print("normals", len(arrays["vector"]) if "vector" in arrays else 0)


if __name__ == "__main__":
    {"glb": read_glb, "vtp": read_vtp, "gii": read_gii}[sys.argv[1]](sys.argv[2])
