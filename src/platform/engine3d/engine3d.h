#pragma once

// The 3D engine: numbered scene objects (cameras, lights, textures, materials, meshes, entities,
// nodes, static geometry, sprites), their maths, and a renderer backend that draws them
// (OpenGL 3.3, or a headless one that keeps everything on the CPU for tests).
//
// Calling conventions shared by every operation:
// - Objects are addressed by a number the caller chooses (0 to kMaxObjectNumber), or created with
//   number -1, in which case the create operation returns a new handle that is the object's
//   number from then on. Creating a numbered object returns its handle. 0 means failure.
// - A handle is never 0 and never equal to a caller-chosen number. Operations accept a number or a
//   handle wherever they take an object; the `...ID` operations turn a number into its handle.
// - Handles of -1 objects are never reused, so a freed object's handle stays invalid for good.
// - Positions, sizes and angles are 32-bit floats in world units (a block is 0.5) and degrees;
//   colours are packed RGB ints (red + green * 256 + blue * 65536); move and scale operations take
//   a mode, 0 absolute and 1 relative.
// - Only the main thread calls the engine, except PBO_CameraX/Y/Z, which any thread may call.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <glm/glm.hpp>

#include "platform/image/image.h"

namespace orelens::platform {

class ScreenHost;
class Renderer;
struct Scene;
struct StaticGeometry;
struct GeometryBatch;
struct Mesh;
struct Entity;

// Copies of a mesh side by side (Engine3D::AddStaticGeometryTiles).
struct StaticGeometryTile {
  float x = 0, y = 0, z = 0;  // where the first copy stands
  float scaleX = 1, scaleY = 1, scaleZ = 1;
  int copiesX = 1, copiesY = 1, copiesZ = 1;
  int materialHandle = 0;
};

class Engine3D {
 public:
  static constexpr int kVersion = 572;
  static constexpr int kMaxObjectNumber = 0x00FFFFFF;
  static constexpr int kMaxCameras = 16;  // camera numbers 0..15

  explicit Engine3D(std::unique_ptr<Renderer> renderer);
  ~Engine3D();
  Engine3D(const Engine3D&) = delete;
  Engine3D& operator=(const Engine3D&) = delete;

  // --- Start and resources -----------------------------------------------------------------
  // `startMode` is accepted for compatibility; returns nonzero when the renderer is usable.
  int PBO_InitEngine3D(int startMode);
  int PBO_GetVersion() const { return kVersion; }
  // Registers a resource folder (type 0: a plain folder). Later file names are looked up in the
  // registered folders in order ("\" and "/" both separate, names match case-insensitively).
  // Returns 0 when the folder does not exist.
  int PBO_Add3DArchive(const std::string& folder, int type);
  int PBO_AntialiasingMode(int mode);
  // material -1 sets the filtering of every material, present and future.
  // filter: 0 nearest, 1 bilinear, 2 trilinear, 3 anisotropic; anisotropy: its level (1..16).
  int PBO_MaterialFilteringMode2(int material, int filter, int anisotropy);

  // --- Screen and frame --------------------------------------------------------------------
  // Opens the 3D view in `host`'s window at (x, y) of its client area, width x height pixels.
  // With a null host (headless), a CPU frame of width x height is made. flipMode: 0 no sync,
  // 1 vsync, 2 vsync with a frame pacer where the display does not sync. The host must outlive
  // the open screen: close it before the window goes.
  int OpenWindowedScreen(ScreenHost* host, int x, int y, int width, int height, int autoStretch,
                         int rightOffset, int bottomOffset, int flipMode);
  void CloseScreen();
  int IsScreenActive() const;
  int ScreenWidth() const;
  int ScreenHeight() const;
  int PBO_RenderWorld();
  // Draws the sprites shown since the last render (already on the frame), the GUI layer, and swaps.
  int PBO_FlipBuffers();
  // The region (x, y, width, height), in 3D view pixels, of the last frame shown, without the GUI
  // layer. Pixels outside the view are black; alpha is 255.
  Image GrabScreenRegion(int x, int y, int width, int height);

  // --- Cameras -----------------------------------------------------------------------------
  // Viewport in percent of the screen.
  int PBO_CreateCamera(int camera, float xPercent, float yPercent, float widthPercent,
                       float heightPercent);
  int PBO_CameraFOV(int camera, float degrees);
  // Moves along the camera's own axes: +x right, +y up, -z forward.
  int PBO_MoveCamera(int camera, float x, float y, float z);
  int PBO_MoveCamera2(int camera, float x, float y, float z, int mode);
  // Pitch (about x), yaw (about the world's up axis) and roll (about z), degrees.
  int PBO_RotateCamera2(int camera, float x, float y, float z, int mode);
  int PBO_CameraLookAt(int camera, float x, float y, float z);
  // Turns the camera toward a node: yaw and pitch offsets (degrees) are added to the direction of
  // the node, and the camera turns by `yawBlend` and `pitchBlend` (0..1) of the remaining angle on
  // each call (1 turns at once). `reserved` is accepted and ignored. The camera does not move.
  int PBO_CameraFollow(int camera, int node, float yawOffset, float pitchOffset, float yawBlend,
                       float pitchBlend, float reserved);
  // Safe from any thread (atomics): the loader threads read camera 0 while the main thread moves it.
  float PBO_CameraX(int camera) const;
  float PBO_CameraY(int camera) const;
  float PBO_CameraZ(int camera) const;
  // The unit vector the camera looks along.
  float PBO_CameraDirectionX(int camera) const;
  float PBO_CameraDirectionY(int camera) const;
  float PBO_CameraDirectionZ(int camera) const;
  int PBO_CameraBackColor(int camera, int rgb);

  // --- World -------------------------------------------------------------------------------
  int PBO_AmbientColor(int rgb);
  // The sun shines from (x, y, z) toward the origin, as a directional light; it casts the shadows.
  int PBO_Sun(float x, float y, float z, int rgb);
  int PBO_CreateLight2(int light, int rgb, float x, float y, float z);
  int PBO_MoveLight(int light, float x, float y, float z);
  // type 0 sets the diffuse colour, 1 the specular colour.
  int PBO_SetLightColor(int light, int type, int rgb);
  int PBO_IsLight(int light) const;
  // Linear fog from `startDistance` to `endDistance`; `intensity` (clamped to 0..1) is the fog's
  // strength at the end distance.
  int PBO_Fog(int rgb, float intensity, float startDistance, float endDistance);
  // A textured dome over the world; `tiling` is how often the texture repeats across it.
  int PBO_SkyDome(const std::string& textureFile, float tiling);
  // mode: 0 off, 1 simple, 2 advanced shadows from the sun. The other values keep their setting.
  int PBO_WorldShadows(int mode);
  // range: how far from the camera shadows reach; rgb: the colour of shadowed light.
  int PBO_WorldShadows3(int mode, float range, int rgb);
  // mapSize: accepted; the shadow map's size follows the mode.
  int PBO_WorldShadows4(int mode, float range, int rgb, int mapSize);
  int PBO_EnableWorldPhysics(int enable);
  int PBO_EnableWorldCollisions(int enable);

  // --- Textures and materials ----------------------------------------------------------------
  // PNG, JPEG (and other stb_image formats) from the resource folders.
  int PBO_LoadTexture(int texture, const std::string& file);
  // A new texture starts opaque black.
  int PBO_CreateTexture(int texture, int width, int height);
  int PBO_TextureID(int texture) const;
  int PBO_TextureWidth(int texture) const;
  int PBO_TextureHeight(int texture) const;
  // The texture's picture as a 2D drawing target (nullptr when there is no such texture). The
  // picture is uploaded again before the next frame; unlock once drawing is done.
  Image* PBO_LockTexture(int texture);
  int PBO_UnlockTexture(int texture);
  int PBO_CreateMaterial(int material, int textureHandle);
  int PBO_MaterialID(int material) const;
  int PBO_IsMaterial(int material) const;
  // 3 alpha blending (drawn after the opaque objects); any other mode draws opaque.
  int PBO_MaterialBlendingMode(int material, int mode);
  // 1 no culling (both sides drawn); 2 back faces culled, the default (and any other mode).
  int PBO_MaterialCullingMode(int material, int mode);

  // --- Meshes ------------------------------------------------------------------------------
  // Starts a mesh built vertex by vertex: the vertex and face operations add to it until
  // PBO_FinishMesh. Vertex numbers count from 0 in the order added.
  int PBO_CreateMesh(int mesh);
  int PBO_MeshVertex(float x, float y, float z, float u, float v, int rgba);
  int PBO_MeshVertex2(float x, float y, float z, float u, float v, int rgba, float nx, float ny,
                      float nz);
  int PBO_MeshFace(int a, int b, int c);
  // Ends the mesh under construction. Faces naming a vertex that does not exist are dropped.
  int PBO_FinishMesh(int keep);
  // Shadows come from the shadow map; accepted for the mesh and returns nonzero when it exists.
  int PBO_BuildMeshShadowVolume(int mesh);
  // A cube of the given edge length centred on its origin, with normals and per-face 0..1 UVs.
  int PBO_CreateCube(int mesh, float size);
  // OBJ and every other format the mesh importer reads, from the resource folders.
  int PBO_LoadMesh(int mesh, const std::string& file);
  int PBO_MeshID(int mesh) const;
  // Applies scale, then rotation (about x, then y, then z, degrees), then the move, to every
  // vertex of the mesh.
  int PBO_TransformMesh(int mesh, float moveX, float moveY, float moveZ, float scaleX, float scaleY,
                        float scaleZ, float angleX, float angleY, float angleZ);

  // --- Entities and nodes --------------------------------------------------------------------
  int PBO_CreateEntity2(int entity, int meshHandle, int materialHandle);
  int PBO_CreateEntity3(int entity, int meshHandle, int materialHandle, float x, float y, float z);
  int PBO_FreeEntity(int entity);
  int PBO_IsEntity(int entity) const;
  int PBO_EntityID(int entity) const;
  int PBO_HideEntity(int entity, int hide);
  // The bits a ray cast's mask must share with the entity for the ray to find it; a new entity
  // has none, so only entities given a pick mask can be picked.
  int PBO_EntityPickMask(int entity, int mask);
  int PBO_SetEntityMaterial(int entity, int materialHandle);
  int PBO_MoveEntity2(int entity, float x, float y, float z, int mode);
  int PBO_ScaleEntity2(int entity, float x, float y, float z, int mode);
  // 22, 23, 24: the scale along x, y, z. Other attributes give 0.
  float PBO_GetEntityAttribute(int entity, int attribute) const;
  int PBO_CreateNode(int node);
  int PBO_NodeID(int node) const;
  // Attaches an entity to the node: the entity's position becomes relative to the node.
  int PBO_AttachNodeObject(int node, int entityHandle);
  int PBO_MoveNode2(int node, float x, float y, float z, int mode);
  float PBO_NodeX(int node) const;
  float PBO_NodeY(int node) const;
  float PBO_NodeZ(int node) const;

  // --- Static geometry -----------------------------------------------------------------------
  // Sizes are the extent the caller expects to fill; castsShadows 1 makes it cast sun shadows.
  int PBO_CreateStaticGeometry(int geometry, float sizeX, float sizeY, float sizeZ,
                               int castsShadows);
  // Copies the entity's mesh with the material the entity carries now, scaled and placed.
  int PBO_AddStaticGeometryEntity2(int geometry, int entityHandle, float x, float y, float z,
                                   float scaleX, float scaleY, float scaleZ);
  // As above, rotated (about x, then y, then z, degrees) after scaling.
  int PBO_AddStaticGeometryEntity3(int geometry, int entityHandle, float x, float y, float z,
                                   float scaleX, float scaleY, float scaleZ, float angleX,
                                   float angleY, float angleZ);
  // For each tile, copies of the entity's mesh side by side, scaled, the first at the tile's
  // place, each next one a scaled mesh size further along its axis, all with the tile's material
  // instead of the entity's. A mesh that copies can stand in for as one rectangle (a flat
  // rectangle, TileShape) becomes one rectangle whose texture repeats once per copy; any other
  // mesh is copied that many times. 0 when the geometry, the entity or a tile's material does
  // not exist, or a tile has fewer than one copy along an axis (the tiles before it are added).
  int AddStaticGeometryTiles(int geometry, int entityHandle, std::span<const StaticGeometryTile> tiles);
  // Makes what was added so far drawable: one draw call per material the geometry holds (more
  // for a material past 16,384 vertices).
  int PBO_BuildStaticGeometry(int geometry);
  // -1 frees every static geometry.
  int PBO_FreeStaticGeometry(int geometry);
  int PBO_IsStaticGeometry(int geometry) const;

  // --- Picking -----------------------------------------------------------------------------
  // The visible entity under (x, y) of the 3D view through `camera` whose pick mask shares a bit
  // with `pickMask` (static geometry is not pickable), or 0. Returns the entity's number (its
  // handle for -1 entities).
  int PBO_MouseRayCast(int camera, int x, int y, int pickMask);
  // The world-space normal of the face that the last ray cast hit.
  float PBO_NormalX() const;
  float PBO_NormalY() const;
  float PBO_NormalZ() const;

  // --- Sprites (overlay and preview pictures) ------------------------------------------------
  // flags 8: the sprite keeps its alpha channel (no transparent colour). A new sprite is opaque
  // black. Returns the handle (nonzero) or 0.
  int CreateSprite(int sprite, int width, int height, int flags);
  int IsSprite(int sprite) const;
  int FreeSprite(int sprite);
  // The sprite's picture as a 2D drawing target; drawing shows from the next DisplaySprite on.
  Image* SpriteImage(int sprite);
  void MarkSpriteChanged(int sprite);
  // Every pixel of exactly this RGB gets alpha 0, every other pixel alpha 255 (now and whenever
  // the sprite is drawn on later).
  int TransparentSpriteColor(int sprite, int rgb);
  // Draws the sprite over the current frame at (x, y) of the 3D view, alpha 0..255.
  int DisplaySprite(int sprite, int x, int y, int alpha);

  // --- Inspection (tests and tools) ----------------------------------------------------------
  // The material an entity carries (its handle), 0 when none.
  int EntityMaterial(int entity) const;
  // Whether the material is alpha-blended, so that the order its faces are drawn in shows.
  bool IsMaterialBlended(int materialHandle) const;
  const Scene& GetScene() const { return *scene_; }
  const StaticGeometry* FindStaticGeometry(int geometry) const;
  int StaticGeometryCount() const;
  Renderer& GetRenderer() { return *renderer_; }

 private:
  Entity* FindEntity(int entity);
  const Entity* FindEntity(int entity) const;
  struct StaticAdd {
    glm::vec3 position{0.0f}, scale{1.0f};
    const float* angles = nullptr;  // degrees about x, y, z, or none
    int materialKey = -1;
    glm::ivec3 copies{1};
  };
  int AddToStaticGeometry(int geometry, int entityHandle, StaticAdd add);
  void AddCopies(StaticGeometry& target, Mesh& mesh, const StaticAdd& add);
  void AppendCopy(StaticGeometry& target, GeometryBatch& batch, const Mesh& mesh, glm::vec3 position,
                  glm::vec3 scale, const float* angles, bool rotated, glm::vec3 step, glm::ivec3 tiles);

  std::unique_ptr<Renderer> renderer_;
  std::unique_ptr<Scene> scene_;
  glm::vec3 lastTurn_{0.0f};  // the angles of the last turned add, and their rotation
  glm::mat3 lastTurnRotation_{1.0f};
};

// An engine drawing nothing on screen: every object stays on the CPU for inspection.
std::unique_ptr<Engine3D> MakeHeadlessEngine();
// An engine drawing with OpenGL 3.3 into the ScreenHost's window given to OpenWindowedScreen.
std::unique_ptr<Engine3D> MakeOpenGlEngine();

}  // namespace orelens::platform
