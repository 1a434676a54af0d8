// What every JSON document gridtally writes shares.
#pragma once

#include <string>

// The opening: "{" and the "generator" key.
void appendJsonStart(std::string& out);
