// Entities (a mesh with a material, placed and scaled) and the nodes they can hang on.
#include <algorithm>

#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

enum EntityAttribute { kScaleX = 22, kScaleY = 23, kScaleZ = 24 };

void DetachFromNode(Scene& scene, Entity& entity, int entityKey) {
  if (Node* node = scene.nodes.FindKey(entity.nodeKey)) {
    std::erase(node->entityKeys, entityKey);
  }
  entity.nodeKey = kNoObject;
}

}  // namespace

Entity* Engine3D::FindEntity(int entity) { return scene_->entities.Find(entity); }
const Entity* Engine3D::FindEntity(int entity) const { return scene_->entities.Find(entity); }

int Engine3D::PBO_CreateEntity2(int entity, int meshHandle, int materialHandle) {
  return PBO_CreateEntity3(entity, meshHandle, materialHandle, 0.0f, 0.0f, 0.0f);
}

int Engine3D::PBO_CreateEntity3(int entity, int meshHandle, int materialHandle, float x, float y, float z) {
  const int meshKey = object_ref::KeyOf(meshHandle);
  if (!scene_->meshes.FindKey(meshKey)) return 0;
  const int materialKey = object_ref::KeyOf(materialHandle);
  if (Entity* old = scene_->entities.Find(entity)) DetachFromNode(*scene_, *old, object_ref::KeyOf(entity));
  auto [created, key] = scene_->entities.Create(entity);
  if (!created) return 0;
  created->meshKey = meshKey;
  created->materialKey = scene_->materials.FindKey(materialKey) ? materialKey : kNoObject;
  created->position = {x, y, z};
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_FreeEntity(int entity) {
  Entity* found = FindEntity(entity);
  if (!found) return 0;
  DetachFromNode(*scene_, *found, object_ref::KeyOf(entity));
  scene_->entities.Free(entity);
  return 1;
}

int Engine3D::PBO_IsEntity(int entity) const { return FindEntity(entity) ? 1 : 0; }

int Engine3D::PBO_EntityID(int entity) const {
  return FindEntity(entity) ? object_ref::HandleOf(object_ref::KeyOf(entity)) : 0;
}

int Engine3D::PBO_HideEntity(int entity, int hide) {
  Entity* found = FindEntity(entity);
  if (!found) return 0;
  found->hidden = hide != 0;
  return 1;
}

int Engine3D::PBO_EntityPickMask(int entity, int mask) {
  Entity* found = FindEntity(entity);
  if (!found) return 0;
  found->pickMask = mask;
  return 1;
}

int Engine3D::PBO_SetEntityMaterial(int entity, int materialHandle) {
  Entity* found = FindEntity(entity);
  const int materialKey = object_ref::KeyOf(materialHandle);
  if (!found || !scene_->materials.FindKey(materialKey)) return 0;
  found->materialKey = materialKey;
  return 1;
}

int Engine3D::EntityMaterial(int entity) const {
  const Entity* found = FindEntity(entity);
  return found && scene_->materials.FindKey(found->materialKey) ? object_ref::HandleOf(found->materialKey) : 0;
}

int Engine3D::PBO_MoveEntity2(int entity, float x, float y, float z, int mode) {
  Entity* found = FindEntity(entity);
  if (!found) return 0;
  const glm::vec3 amount(x, y, z);
  found->position = mode == 1 ? found->position + amount : amount;
  return 1;
}

int Engine3D::PBO_ScaleEntity2(int entity, float x, float y, float z, int mode) {
  Entity* found = FindEntity(entity);
  if (!found) return 0;
  const glm::vec3 amount(x, y, z);
  found->scale = mode == 1 ? found->scale * amount : amount;
  return 1;
}

float Engine3D::PBO_GetEntityAttribute(int entity, int attribute) const {
  const Entity* found = FindEntity(entity);
  if (!found) return 0.0f;
  switch (attribute) {
    case kScaleX: return found->scale.x;
    case kScaleY: return found->scale.y;
    case kScaleZ: return found->scale.z;
    default: return 0.0f;
  }
}

int Engine3D::PBO_CreateNode(int node) {
  if (Node* old = scene_->nodes.Find(node)) {
    for (int entityKey : old->entityKeys) {
      if (Entity* entity = scene_->entities.FindKey(entityKey)) entity->nodeKey = kNoObject;
    }
  }
  auto [created, key] = scene_->nodes.Create(node);
  return created ? object_ref::HandleOf(key) : 0;
}

int Engine3D::PBO_NodeID(int node) const {
  return scene_->nodes.Find(node) ? object_ref::HandleOf(object_ref::KeyOf(node)) : 0;
}

int Engine3D::PBO_AttachNodeObject(int node, int entityHandle) {
  Node* found = scene_->nodes.Find(node);
  Entity* entity = FindEntity(entityHandle);
  if (!found || !entity) return 0;
  const int entityKey = object_ref::KeyOf(entityHandle);
  DetachFromNode(*scene_, *entity, entityKey);
  entity->nodeKey = object_ref::KeyOf(node);
  found->entityKeys.push_back(entityKey);
  return 1;
}

int Engine3D::PBO_MoveNode2(int node, float x, float y, float z, int mode) {
  Node* found = scene_->nodes.Find(node);
  if (!found) return 0;
  const glm::vec3 amount(x, y, z);
  found->position = mode == 1 ? found->position + amount : amount;
  return 1;
}

float Engine3D::PBO_NodeX(int node) const {
  const Node* found = scene_->nodes.Find(node);
  return found ? found->position.x : 0.0f;
}
float Engine3D::PBO_NodeY(int node) const {
  const Node* found = scene_->nodes.Find(node);
  return found ? found->position.y : 0.0f;
}
float Engine3D::PBO_NodeZ(int node) const {
  const Node* found = scene_->nodes.Find(node);
  return found ? found->position.z : 0.0f;
}

}  // namespace orelens::platform
