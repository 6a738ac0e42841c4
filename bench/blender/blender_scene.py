"""Renders a model file with Blender's own importer and Cycles, seen through the
camera and lit by the lights of a brightfold scene file (as `brightfold
import` writes it for that model), for comparison with `brightfold render`.

Run inside Blender 3.4:
  blender -b --factory-startup -P blender_scene.py -- \
      --model MODEL --scene SCENE.json --out OUT.png [--width W] [--height H]
      [--samples N] [--seed N] [--white-diffuse]

What is taken from the scene file: the viewpoint camera (position, look_at,
sky, vertical view angle), every active light, the background colour and
the ambient level. What is taken from the model file: the meshes and
materials, through Blender's importer; the file's own cameras and lights are
left out of the picture. Light strengths follow the calibration in
README.md: a light of intensity i lights a white surface facing it at the
scene's centre (the middle of the meshes' bounding box) as POV-Ray lights
it, and fades with the square of the distance from there."""
import argparse
import math
import os
import sys

import bpy
from mathutils import Matrix, Vector

# The scene file's frame is the model's frame as Assimp reads it. The
# importers below leave that frame alone (identity) or turn y up into
# Blender's z up: (x, y, z) -> (x, -z, y).
IDENTITY = Matrix.Identity(3)
Y_UP_TO_Z_UP = Matrix(((1, 0, 0), (0, 0, -1), (0, 1, 0)))

# Cycles: a point light of P watts gives a white diffuse surface facing it
# at distance d a radiance of P / (4 pi^2 d^2); a sun of strength S gives S / pi.
POINT_WATTS_PER_UNIT = 4 * math.pi ** 2
SUN_STRENGTH_PER_UNIT = math.pi


def import_model(path):
    """Imports the model; answers the matrix from the scene file's frame to Blender's."""
    ext = os.path.splitext(path)[1].lower()
    if ext in (".gltf", ".glb"):
        import numpy
        if "bool" not in numpy.__dict__:
            numpy.bool = bool  # Blender 3.4's glTF importer still names it; NumPy 1.24 dropped it
        bpy.ops.import_scene.gltf(filepath=path)
        return Y_UP_TO_Z_UP  # glTF is y up; Blender's importer turns it, Assimp does not
    if ext == ".dae":
        bpy.ops.wm.collada_import(filepath=path)
        return Y_UP_TO_Z_UP  # Assimp turns a z-up file to y up, Blender a y-up file to z up
    if ext == ".fbx":
        # Blender scales by the file's UnitScaleFactor / 100 (centimetres to metres) and turns
        # its axes; Assimp does neither, so undo both.
        from io_scene_fbx import import_fbx, parse_fbx
        settings = import_fbx.elem_find_first(parse_fbx.parse(path)[0], b"GlobalSettings")
        unit = import_fbx.elem_props_get_number(import_fbx.elem_find_first(settings, b"Properties70"),
                                                b"UnitScaleFactor", 1.0)
        bpy.context.scene.unit_settings.system = "NONE"
        bpy.ops.import_scene.fbx(filepath=path, use_manual_orientation=True, axis_forward="Y", axis_up="Z",
                                 global_scale=100.0 / unit)
        return IDENTITY
    if ext == ".obj":
        bpy.ops.wm.obj_import(filepath=path, forward_axis="Y", up_axis="Z")
        return IDENTITY
    if ext == ".ply":
        bpy.ops.import_mesh.ply(filepath=path)
        return IDENTITY
    if ext == ".stl":
        bpy.ops.import_mesh.stl(filepath=path, global_scale=1.0, use_scene_unit=False, axis_forward="Y",
                                axis_up="Z")
        return IDENTITY
    raise SystemExit(f"blender_scene: no importer for {path}")


def srgb_to_linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def node_rotation(angles):
    """R = Rx(ex) * Ry(ey) * Rz(ez): turned about z first, then y, then x."""
    ex, ey, ez = (math.radians(a) for a in angles)
    return Matrix.Rotation(ex, 3, "X") @ Matrix.Rotation(ey, 3, "Y") @ Matrix.Rotation(ez, 3, "Z")


def look_rotation(position, target, sky):
    """R whose columns are (f x u, -u, f): the node looks along its own +z."""
    f = (target - position).normalized()
    u = (sky - sky.dot(f) * f).normalized()
    return Matrix((f.cross(u), -u, f)).transposed()


def walk(node, parent_r, parent_p, found):
    """Collects cameras and lights with their scene-frame rotation and position."""
    p = parent_r @ Vector(node.get("position", (0, 0, 0))) + parent_p
    if "look_at" in node:
        r = look_rotation(p, Vector(node["look_at"]), Vector(node.get("sky", (0, 1, 0))))
    else:
        r = parent_r @ node_rotation(node.get("rotation", (0, 0, 0)))
    if node.get("type") in ("camera", "light"):
        found.append((node, r, p))
    for child in node.get("children", []):
        walk(child, r, p, found)


def choose_camera(scene, placed):
    cameras = [c for c in placed if c[0]["type"] == "camera"]
    wanted = scene.get("viewpoint")
    for c in cameras:
        if wanted is not None and c[0].get("name", "") == wanted:
            return c
    if wanted is None and cameras:
        return next((c for c in cameras if not c[0].get("standby")), cameras[0])
    raise SystemExit("blender_scene: the scene file has no camera to view through")


def oriented(axis_r, frame, position):
    """A Blender matrix whose columns are axis_r's columns carried into Blender's frame."""
    m = (frame @ axis_r).to_4x4()
    m.translation = frame @ position
    return m


def add_camera(placed, frame, reach):
    node, r, p = placed
    data = bpy.data.cameras.new("Scene camera")
    data.sensor_fit = "VERTICAL"
    data.angle_y = math.radians(node.get("view_angle", 45))
    data.clip_start = reach * 1e-4
    data.clip_end = reach * 100
    obj = bpy.data.objects.new("Scene camera", data)
    # Blender's camera looks along its -z with +y up; the node looks along +z with -y up.
    obj.matrix_world = oriented(r @ Matrix(((1, 0, 0), (0, -1, 0), (0, 0, -1))), frame, p)
    bpy.context.scene.collection.objects.link(obj)
    bpy.context.scene.camera = obj


def add_light(placed, frame, centre):
    node, r, p = placed
    kind = node.get("kind", "point")
    kind = {1: "distant", 2: "spot"}.get(kind, "point") if isinstance(kind, int) else kind
    colour = [srgb_to_linear(c) for c in node.get("color", (1, 1, 1))]
    intensity = node.get("intensity", 1)
    if kind == "distant":
        data = bpy.data.lights.new(node.get("name", "light"), "SUN")
        data.energy = SUN_STRENGTH_PER_UNIT * intensity
        data.angle = 0
    else:
        data = bpy.data.lights.new(node.get("name", "light"), "SPOT" if kind == "spot" else "POINT")
        distance = (frame @ p - centre).length
        data.energy = POINT_WATTS_PER_UNIT * intensity * distance ** 2
        data.shadow_soft_size = 0
        if kind == "spot":
            data.spot_size = min(math.radians(2 * node.get("cone_angle", 30)), math.pi)
            data.spot_blend = 1.0
    data.color = colour
    obj = bpy.data.objects.new(data.name, data)
    # Blender's lights shine along their -z; the node's along its +z.
    obj.matrix_world = oriented(r @ Matrix(((1, 0, 0), (0, -1, 0), (0, 0, -1))), frame, p)
    bpy.context.scene.collection.objects.link(obj)


def mesh_bounds():
    points = []
    for obj in bpy.context.scene.objects:
        if obj.type == "MESH" and not obj.hide_render:
            points += [obj.matrix_world @ Vector(corner) for corner in obj.bound_box]
    if not points:
        raise SystemExit("blender_scene: the model has no meshes")
    low = Vector(min(p[i] for p in points) for i in range(3))
    high = Vector(max(p[i] for p in points) for i in range(3))
    return (low + high) / 2, (high - low).length / 2


def set_world(background, ambient):
    """The camera sees the background colour; every other ray sees the ambient level."""
    world = bpy.data.worlds.new("Scene world")
    bpy.context.scene.world = world
    world.use_nodes = True
    nodes, links = world.node_tree.nodes, world.node_tree.links
    nodes.clear()
    seen, lighting = nodes.new("ShaderNodeBackground"), nodes.new("ShaderNodeBackground")
    seen.inputs["Color"].default_value = [srgb_to_linear(c) for c in background] + [1]
    lighting.inputs["Color"].default_value = (ambient, ambient, ambient, 1)
    path, mix, out = nodes.new("ShaderNodeLightPath"), nodes.new("ShaderNodeMixShader"), nodes.new(
        "ShaderNodeOutputWorld")
    links.new(path.outputs["Is Camera Ray"], mix.inputs["Fac"])
    links.new(lighting.outputs["Background"], mix.inputs[1])
    links.new(seen.outputs["Background"], mix.inputs[2])
    links.new(mix.outputs["Shader"], out.inputs["Surface"])


def diffuse_material(colour_attribute=None):
    """White diffuse, or diffuse in the mesh's colour attribute of that name."""
    material = bpy.data.materials.new("Diffuse")
    material.use_nodes = True
    nodes, links = material.node_tree.nodes, material.node_tree.links
    nodes.clear()
    bsdf, out = nodes.new("ShaderNodeBsdfDiffuse"), nodes.new("ShaderNodeOutputMaterial")
    bsdf.inputs["Color"].default_value = (1, 1, 1, 1)
    if colour_attribute:
        attribute = nodes.new("ShaderNodeAttribute")
        attribute.attribute_name = colour_attribute
        links.new(attribute.outputs["Color"], bsdf.inputs["Color"])
    links.new(bsdf.outputs["BSDF"], out.inputs["Surface"])
    return material


def set_plain_materials(every_mesh):
    """Meshes without a material (or every mesh) become diffuse in their vertex colours, else white,
    as brightfold draws a mesh the file gives no material: not Blender's default grey."""
    for obj in bpy.context.scene.objects:
        if obj.type != "MESH" or (not every_mesh and any(slot.material for slot in obj.material_slots)):
            continue
        colours = None if every_mesh else obj.data.color_attributes.active_color
        obj.data.materials.clear()
        obj.data.materials.append(diffuse_material(colours.name if colours else None))


def set_render(args):
    scene = bpy.context.scene
    scene.render.engine = "CYCLES"
    scene.cycles.device = "CPU"
    scene.cycles.samples = args.samples
    scene.cycles.seed = args.seed
    scene.cycles.use_denoising = False  # Debian's Blender 3.4 is built without a denoiser
    scene.cycles.max_bounces = 4
    scene.render.threads_mode = "FIXED"
    scene.render.threads = 2
    scene.render.resolution_x, scene.render.resolution_y = args.width, args.height
    scene.render.resolution_percentage = 100
    scene.render.film_transparent = False
    scene.render.dither_intensity = 0
    scene.view_settings.view_transform = "Standard"
    scene.view_settings.look = "None"
    scene.view_settings.exposure = 0
    scene.view_settings.gamma = 1
    scene.render.image_settings.file_format = "PNG"
    scene.render.image_settings.color_mode = "RGB"
    scene.render.image_settings.color_depth = "8"


def main():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    parser = argparse.ArgumentParser(prog="blender_scene.py")
    parser.add_argument("--model", required=True)
    parser.add_argument("--scene", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--width", type=int, default=160)
    parser.add_argument("--height", type=int, default=120)
    parser.add_argument("--samples", type=int, default=128)
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--white-diffuse", action="store_true", help="every mesh white diffuse (calibration)")
    args = parser.parse_args(argv)

    import json
    with open(args.scene, encoding="utf-8") as f:
        scene = json.load(f)
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    frame = import_model(os.path.abspath(args.model))
    for obj in bpy.context.scene.objects:
        if obj.type == "LIGHT":
            obj.hide_render = True  # the file's own lights: the scene file's replace them
    set_plain_materials(args.white_diffuse)
    centre, radius = mesh_bounds()
    print(f"blender_scene: meshes around {tuple(frame.inverted() @ centre)} (scene frame), radius {radius:g}")

    placed = []
    walk(scene.get("root", {}), IDENTITY, Vector((0, 0, 0)), placed)
    camera = choose_camera(scene, placed)
    add_camera(camera, frame, (frame @ camera[2] - centre).length + radius)
    for light in placed:
        if light[0]["type"] == "light" and light[0].get("active", 1) not in (0, False):
            add_light(light, frame, centre)
    environment = scene.get("environment", {})
    set_world(environment.get("background", (0, 0, 0)), environment.get("ambient", 0.2))
    set_render(args)

    # Written under a temporary name, then renamed: a picture is whole or absent.
    temporary = args.out + ".part.png"
    bpy.context.scene.render.filepath = temporary
    bpy.ops.render.render(write_still=True)
    os.replace(temporary, args.out)


main()
