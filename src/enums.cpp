#include "enums.h"

std::string toString(Game g) {
    switch (g) {
    case Game::UNK: return "UNK";
    case Game::GPL: return "GPL";
    case Game::N4: return "N4";
    case Game::N2K2: return "N2K2";
    case Game::N2K3: return "N2K3";
    case Game::IRAC: return "IRAC";
    }
    return "cast(Game)" + std::to_string(static_cast<unsigned>(g));
}

std::string toString(SessT t) {
    switch (t) {
    case SessT::TESTING: return "TESTING";
    case SessT::PRACTICE: return "PRACTICE";
    case SessT::RACE: return "RACE";
    }
    return "cast(SessT)" + std::to_string(static_cast<int>(t));
}
