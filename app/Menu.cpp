#include "app/Menu.h"

#include <csignal>
#include <iostream>
#include <string>

#include "common/Console.h"

namespace zarn {

namespace {

// Longest rest of a choice line that is skipped; anything beyond stays in the
// input and is read as the next choice.
constexpr std::streamsize kDiscardLimit = 1024;

// Writes `prompt` and reads one whole line into `name`, without its line feed.
// The name is cleared first: at the end of the input getline would leave it
// untouched, and a name from an earlier cycle must never be used unasked.
void readName(const char* prompt, std::string& name) {
    std::cout << prompt;
    std::cout.flush();
    name.clear();
    std::getline(std::cin, name);
}

}  // namespace

int runMenu(const Conversions& conversions) {
    // A write past the file-size limit (ulimit -f) would end the process by a
    // signal, without a word; ignored, the write fails as on a full disk, and
    // the conversion reports it with its one line and status 1.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::string waveInput, zarnOutput, zarnInput, waveOutput;

    writeLine(std::cout, "Konvertering imellem henholdvis WAVE PCM -> Zarn og Zarn -> WAVE PCM");
    for (;;) {
        writeEmptyLine(std::cout);
        writeLine(std::cout, "1. WAVE PCM -> Zarn");
        writeLine(std::cout, "2. Zarn -> WAVE PCM");
        writeLine(std::cout, "3. WAVE PCM -> Zarn -> WAVE PCM");
        writeLine(std::cout, "4. Zarn -> WAVE PCM -> Zarn");
        writeLine(std::cout, "5. Afslut programmet");
        std::cout << "Indtast valg: ";
        std::cout.flush();

        const int choice = std::cin.get();
        // With the input at its end no choice can ever come: leave as entry 5
        // does, instead of showing the menu for ever.
        if (choice == std::char_traits<char>::eof()) return 0;
        std::cin.ignore(kDiscardLimit, '\n');
        writeEmptyLine(std::cout);

        switch (choice) {
            case '1':
                readName("Indtast WAVE PCM filnavn til input: ", waveInput);
                readName("Indtast Zarn filnavn til output: ", zarnOutput);
                conversions.encode(waveInput.c_str(), zarnOutput.c_str());
                break;
            case '2':
                readName("Indtast Zarn filnavn til input: ", zarnInput);
                readName("Indtast WAVE PCM filnavn til output: ", waveOutput);
                conversions.decode(zarnInput.c_str(), waveOutput.c_str());
                break;
            case '3':
                readName("Indtast WAVE PCM filnavn til input: ", waveInput);
                readName("Indtast Zarn filnavn til output: ", zarnOutput);
                readName("Indtast WAVE PCM filnavn til output: ", waveOutput);
                conversions.encode(waveInput.c_str(), zarnOutput.c_str());
                zarnInput = zarnOutput;
                conversions.decode(zarnInput.c_str(), waveOutput.c_str());
                break;
            case '4':
                readName("Indtast Zarn filnavn til input: ", zarnInput);
                readName("Indtast WAVE PCM filnavn til output: ", waveOutput);
                readName("Indtast Zarn filnavn til output: ", zarnOutput);
                conversions.decode(zarnInput.c_str(), waveOutput.c_str());
                waveInput = waveOutput;
                conversions.encode(waveInput.c_str(), zarnOutput.c_str());
                break;
            case '5':
                return 0;
            case '9':
                conversions.encode("input.wav", "output.zarn");
                conversions.decode("output.zarn", "output.wav");
                break;
            default:
                break;  // anything else shows the menu again, without a word
        }
    }
}

}  // namespace zarn
