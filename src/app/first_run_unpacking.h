#pragma once

#include "archive/zip_archiver.h"

namespace qm::app {

// The archive component of the main window, with the settings it is designed with.
void ConfigureArchiver1(archive::ZipArchiver& archiver);

// Replaces a packed client (quillmark.jar as a file) by a folder of the same name holding its
// contents, so that the class file can be changed in place. Does nothing when the client is
// unpacked already or absent.
//
// Nothing of the client is ever lost: the archive is worked on under the name quillmark.zip,
// and when the unpacking does not finish (an item skipped or abandoned at a prompt, any
// exception) the partial folder is removed and the archive goes back to quillmark.jar, so the
// next start tries again; the failure is reported as an exception. A quillmark.zip left by an
// unpacking that was interrupted (the program killed, the machine stopped) is put back the
// same way when nothing else stands in its place.
void UnpackClientOnFirstRun(archive::ZipArchiver& archiver);

}  // namespace qm::app
