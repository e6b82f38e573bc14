#pragma once
// What the programs write around a conversion, byte for byte: the lines that
// start and end one, and the line each failure ends with.

#include <cstdio>
#include <string>

namespace zarn::test {

inline const std::string kEncodeStart = "\nKonvertering fra WAVE PCM til Zarn startes\n\n";
inline const std::string kDecodeStart = "\nKonvertering fra Zarn til WAVE PCM startes\n\n";
inline const std::string kDone = "\nKonverteringen er fuldendt\n";

inline const std::string kNotWave = "Filen er ikke af typen PCM WAVE\n";
inline const std::string kZarnUnreadable = "Ikke i stand til at aabne Zarn til laesning\n";
inline const std::string kZarnUnwritable = "Ikke i stand til at aabne Zarn til skrivning\n";
inline const std::string kZarnTooSmall = "Fil stoerrelsen er for lille til at vaere af Zarn-formatet\n";

// A frame that begins with `found` where the tag should be.
inline std::string badTag(unsigned found) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%x", found);
    return std::string("Header tag 0xFFF mangler (fejl: ") + hex + ")\n";
}

// A WAVE file that cannot be opened for `purpose`, "laesning" or "skrivning".
inline std::string waveUnopenable(const std::string& name, const std::string& purpose) {
    return "Det er ikke muligt at aabne " + name + " til " + purpose + "!\n";
}

inline std::string writeFailed(const std::string& name) { return "Fejl ved skrivning til " + name + "\n"; }

inline std::string sameFile(const std::string& name) {
    return "Outputfilen er den samme som inputfilen: " + name + "\n";
}

}  // namespace zarn::test
