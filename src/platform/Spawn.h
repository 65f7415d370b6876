#pragma once
#include <string>
#include <vector>

// Starts argv[0] with the argument vector, standard input from /dev/null, and waits for it to
// end. Returns its exit status (128 + signal number when a signal ended it), or -1 when it could
// not be started; errnoOut then says why (ENOENT for a missing program).
int SpawnAndWait(const std::vector<std::string>& argv, int* errnoOut);
