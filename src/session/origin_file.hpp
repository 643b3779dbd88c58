#pragma once
// The origin file: its first line names the application that produced the export.

namespace quorvel {
struct ImportSession;

// Writes "Données source générées par l'application : " and the first line of origine.txt (or,
// when the file was not found, a line break and "Fichier origine.txt non disponible"), then an
// empty line. A failure while reading is reported in the TraceLog and the run goes on.
void TraceOrigine(ImportSession& session);

} // namespace quorvel
