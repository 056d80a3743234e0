#pragma once

#include "platform/file_handle.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Writes into folders others may write in, where a link planted on the way
// could lead a write into another file: no link is ever followed.

// Creates or truncates the file `path` and writes `bytes` into it, in place
// (no replacement). Raises FileWriteError when it cannot.
void WriteFileWithoutFollowingLinks(const QString& path, QByteArrayView bytes);

// Creates the file `path` with `bytes`, unless something is already there
// (a file, a link, a folder), which is kept: false then. Raises
// FileWriteError when it cannot be created or written.
bool CreateFileWithoutFollowingLinks(const QString& path, QByteArrayView bytes);

// The same within an opened folder (see OpenFolderWithoutFollowingLinks):
// `name` is a file name in `folder`, `path` names the file in messages.
void WriteFileWithoutFollowingLinks(const FileHandle& folder, const QString& name, const QString& path, QByteArrayView bytes);
bool CreateFileWithoutFollowingLinks(const FileHandle& folder, const QString& name, const QString& path, QByteArrayView bytes);
// Replaces the file `name` in `folder` whole (see FileReplacement): a kill
// or a failure leaves the old file as it was.
void ReplaceFileWithoutFollowingLinks(const FileHandle& folder, const QString& name, const QString& path, QByteArrayView bytes);

// Opens `folder`, then each of `inside` in turn within the one before, never
// following a link on the way down. Raises FileWriteError naming `fileName`
// when one cannot be opened.
FileHandle OpenFolderWithoutFollowingLinks(const QString& folder, const QStringList& inside, const QString& fileName);
