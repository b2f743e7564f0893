#include "customblocks/custom_block_import.h"

#include "customblocks/block_properties.h"
#include "customblocks/dds_thumbnail.h"
#include "customblocks/import_progress_window.h"
#include "customblocks/texture_layouts.h"
#include "platform/files/directory_listing.h"
#include "platform/files/file.h"

namespace orelens::customblocks {

namespace {

constexpr int64_t kFolderSize = -2;  // what FileSize reports for a folder

bool IsBlockFolder(const std::string& folder, const platform::DirectoryEntry& entry) {
  if (!entry.isFolder || entry.name == "." || entry.name == "..") return false;
  const std::string blockFolder = folder + entry.name;
  return platform::FileSize(blockFolder + "\\properties.json") > 0 &&
         platform::FileSize(blockFolder + "\\textures\\") == kFolderSize;
}

}  // namespace

CustomBlockImporter::CustomBlockImporter(platform::Gui& gui, platform::Engine3D& engine,
                                         viewer::CustomBlockMap& blocks,
                                         std::shared_ptr<const platform::MySqlDriver> driver,
                                         CustomBlockImportSettings settings)
    : gui_(gui),
      engine_(engine),
      blocks_(blocks),
      settings_(std::move(settings)),
      previews_(engine, gui, settings_.preview) {
  if (settings_.database) connector_.emplace(gui, std::move(driver), *settings_.database);
}

std::unique_ptr<platform::MySqlDatabase> CustomBlockImporter::ConnectForPublishing() {
  if (!settings_.databaseSettingsProblem.empty()) {
    if (!toldWhyNotPublished_)
      gui_.MessageBox("", std::string(kUnusableSettingsMessage) + settings_.databaseSettingsProblem);
    toldWhyNotPublished_ = true;
    return nullptr;
  }
  if (!connector_) {
    if (!toldWhyNotPublished_) gui_.SetGadgetText(kImportStatusText, kNoServerStatus);
    toldWhyNotPublished_ = true;
    return nullptr;
  }
  std::unique_ptr<platform::MySqlDatabase> connection = connector_->ConnectCustomBlockDatabase();
  if (!connection) gui_.MessageBox("", kConnectionFailedMessage);
  return connection;
}

void CustomBlockImporter::ImportCustomBlocksFromFolder(const std::string& folder, int doNotShare) {
  std::unique_ptr<platform::MySqlDatabase> connection;
  if (doNotShare == 0) connection = ConnectForPublishing();
  for (const platform::DirectoryEntry& entry : platform::ListDirectory(folder, "*.*")) {
    if (IsBlockFolder(folder, entry)) ImportBlockFolder(folder + entry.name, connection);
    gui_.WindowEventNoWait();
  }
  // The connection closes here, at the end of the call.
}

void CustomBlockImporter::ImportBlockFolder(const std::string& blockFolder,
                                            std::unique_ptr<platform::MySqlDatabase>& connection) {
  const std::optional<BlockProperties> properties =
      ReadBlockProperties(blockFolder + "\\properties.json", [this] { gui_.WindowEventNoWait(); });
  if (!properties) return;
  gui_.WindowEventNoWait();

  const TextureLayout* layout = TextureLayoutOfMode(properties->Mode);
  if (properties->Name.empty() || !layout) return;

  const auto materialOf = [this](int texture) {
    return engine_.PBO_CreateMaterial(-1, engine_.PBO_TextureID(texture));
  };

  viewer::CustomBlockDefinition* entry = nullptr;
  const LayoutTexture& first = layout->textures.front();
  // A first texture file of 0 bytes marks a block without pictures; a missing one does not.
  if (platform::FileSize(blockFolder + std::string(first.file)) != 0) {
    const int firstTexture = LoadDdsPreviewTexture(engine_, gui_, blockFolder + std::string(first.file));
    if (firstTexture != 0) {
      const int firstMaterial = materialOf(firstTexture);
      entry = &blocks_.AddOrFind(std::to_string(properties->UniqueID));
      entry->kind = static_cast<uint8_t>(properties->Mode);
      entry->id = static_cast<int32_t>(properties->UniqueID);  // ids are taken to fit 32 bits
      entry->faces[static_cast<size_t>(first.slot)] = firstMaterial;
      entry->name = properties->Name;
    }
  }
  if (entry) {
    FillLaterSlots(*layout, entry->faces, [&](std::string_view file) -> std::optional<int32_t> {
      const int texture = LoadDdsPreviewTexture(engine_, gui_, blockFolder + std::string(file));
      if (texture == 0) return std::nullopt;
      return materialOf(texture);
    });
    previews_.MakeBlockPreview(*entry);
    PublishBlock(connection, *entry, properties->CreatorName);
  }
  gui_.SetGadgetText(kImportStatusText, "Last Added '" + properties->Name + "' from " +
                                            properties->CreatorName + "\n\rFound " +
                                            std::to_string(blocks_.Size()) + " custom blocks so far.");
  gui_.WindowEventNoWait();
}

void CustomBlockImporter::PublishBlock(std::unique_ptr<platform::MySqlDatabase>& connection,
                                       const viewer::CustomBlockDefinition& entry,
                                       const std::string& author) {
  if (!connection) return;
  const PublishedBlock block{entry.id, entry.kind, entry.name, author,
                             PreviewFilePath(settings_.preview.previewFolder, entry.id)};
  if (connector_->PublishCustomBlock(*connection, block)) return;
  connection.reset();
  gui_.MessageBox("", kConnectionFailedMessage);
}

}  // namespace orelens::customblocks
