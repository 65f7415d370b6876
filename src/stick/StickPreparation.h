#pragma once
// Opening a stick as a whole, and making it ready: an older customization removed on request,
// the configuration backed up once to .ORG, an empty assignment table created.
#include <string>

struct CustomizationState;

bool OpenStick(CustomizationState& state);
bool PrepareStick(CustomizationState& state);

// A stick or host path counts as present when it is a plain file that can be opened for reading.
bool FileExists(const std::string& path);
// The .MWC path with its last four characters replaced by ".ORG".
std::string MakeBackupPath(const std::string& mwcPath);
