#pragma once

namespace qm::app {

// Replaces a packed client (quillmark.jar as a file) by a folder of the same name holding its
// contents, so that the class file can be changed in place. Does nothing when the client is
// unpacked already or absent.
void UnpackClientOnFirstRun();

}  // namespace qm::app
