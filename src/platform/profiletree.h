// Directory trees of user profiles on the file system: copying, swapping, renaming and removing
// whole trees so that a profile is always either its old or its new self.
//
// Symbolic links are never followed: a link inside a tree is neither copied nor its target
// touched (removing a tree removes the link itself), and a tree's own name that is a link is
// refused. Devices, FIFOs and sockets are skipped like links. Every failure throws jex::Error 75
// with the path and the system's reason.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace jex::platform {

// Called after each file copied with the number copied so far; false stops the copy there as a
// full disk would (jex::Error 75). The tests' way of failing a copy midway.
using CopyProgress = std::function<bool(int files)>;

struct TreeCopy {
  int files = 0;    // regular files copied
  int skipped = 0;  // links, devices, FIFOs and sockets left out
};

// Copies the tree from to the directory to. merge false: to must not exist and is created;
// merge true: to exists and files present in both are overwritten, its other files stay.
// Modes and modification times of the files are kept.
TreeCopy copyTree(const QString& from, const QString& to, bool merge, const CopyProgress& progress = {});

// Flushes the file system that holds path to disk, so that a tree copied there survives a power
// cut before its name is made visible.
void syncFileSystem(const QString& path);

// Swaps two directories' names in one step (renameat2 RENAME_EXCHANGE): each name then holds
// what the other held, and nobody sees a moment in which either is missing.
void exchangeTrees(const QString& a, const QString& b);

// Renames from to to in one step; fails when to exists (RENAME_NOREPLACE).
void renameTree(const QString& from, const QString& to);

// Removes a tree without following links. A missing path is no error.
void removeTree(const QString& path);

// True when path is a directory itself (not a link to one).
bool isPlainDirectory(const QString& path);

// The names in dir that start with prefix (files, directories and links alike).
QStringList entriesStartingWith(const QString& dir, const QString& prefix);

// Profile archives: .zip files holding a small manifest at the top (manifestName) and the tree
// below one folder (treePrefix, ending with "/").
struct ArchiveLayout {
  QString manifestName;
  QString treePrefix;
};

// What an archive may hold at most before it is refused.
struct ArchiveLimits {
  int maxEntries = 10000;
  qint64 maxBytes = qint64(256) << 20;  // unpacked, counted as read (not as the archive claims)
  qint64 maxManifestBytes = 65536;
};

struct ArchiveContents {
  QByteArray manifest;  // empty when the archive has none
  int entries = 0;
  int files = 0;
  qint64 bytes = 0;
};

// Writes the tree dir into a new archive at zipPath: first the manifest, then every folder and
// regular file (links and devices left out). The archive is written beside zipPath and renamed
// over it when complete, so that a failed export leaves no half archive.
void packTree(const QString& zipPath, const QString& dir, const ArchiveLayout& layout, const QByteArray& manifest);

// Reads the archive whole and refuses it (jex::Error 75, the reason in English) when it is
// truncated or damaged, is no zip, or holds an absolute path, a "..", "." or empty component, a
// backslash or control character in a name, a link, a device, a FIFO or socket, an entry outside
// treePrefix other than the manifest, more entries or bytes than limits allow, a name twice, or
// a path more than 64 folders deep.
// targetDir empty: only checks. Otherwise targetDir (which must not exist) is created and the
// tree is unpacked into it without its prefix; on a refusal it may hold part of the tree and is
// the caller's to remove.
ArchiveContents unpackTree(const QString& zipPath, const QString& targetDir, const ArchiveLayout& layout,
                           const ArchiveLimits& limits = {});

}  // namespace jex::platform
