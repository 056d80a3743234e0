#pragma once

#include "task/map_source.h"
#include "task/start_inputs.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// What a task of a map source records of it in its project file, section
// [Source] after [MapsType]: Name, Url (the address template), Attribution,
// Prefix, Format, TileSize and Subdomains, so that the viewer and the
// combiner know its tiles, and the combiner its credit line, whatever the
// source file says later. A task of a built-in map type records none.
QStringList StoredSourceLines(const MapSource& source);

// The source as the project file recorded it (no request lines, no file);
// nothing when it records none. Raises AppError "the key <K> of section
// [Source] ..." (without the file) for a record that names no usable prefix
// or format.
std::optional<MapSource> ReadStoredSource(const QString& projectFile);

// The Name the project file recorded; empty for a built-in map type.
QString StoredSourceName(const QString& projectFile);

// The source a stored task runs with: the one of that Name in the map
// sources folder, or, when the folder has none, the recorded one (which
// Start refuses, see SourceRefusal). Null for a built-in map type.
std::shared_ptr<const MapSource> SourceOfStoredTask(const QString& projectFile);

// Why a source task cannot start: its source has no file in the folder
// any more, or the zoom lies outside the source's limits. Nothing for a
// built-in map type.
std::optional<QString> SourceRefusal(const TaskInputs& inputs);

// When the start continues a source task (see ContinuesProject) whose
// source's address template is no longer the one its project file
// recorded: the lines that say so, for the question (the window) or the
// refusal (the command line).
std::optional<QString> ChangedTemplateText(const CheckedInputs& task);
// The refusal of such a start when nobody was asked.
QString ChangedTemplateRefusal(const QString& changedText);

// A continued task that accepted its source's new template records it.
void RecordSourceTemplate(const QString& projectFile, const QString& addressTemplate);
