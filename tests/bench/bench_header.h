// The ASF header reader on a hostile file against an ordinary one: a 256 MB
// file whose Header Object claims all of it and holds nothing but millions
// of small objects of no known kind must cost the reader no more than twice
// what an ordinary file's header costs it. Such a file makes no sound, yet a
// player asks about every file in a folder it is shown.
#pragma once

#include <string>

// A BenchExit status.
int HeaderReaderOnHostileFile(const std::string &mediaDir);
