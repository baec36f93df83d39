#pragma once

#include <QString>

namespace tamsel {
class Dictionary;
}

namespace korvel {

/// The program's start and end around the frame: settings, then the libraries in the order
/// faldin, ombrel, hestor, pivrel, tamsel, trusko; at the end the libraries in reverse order,
/// then the settings file written.
class Program {
public:
    explicit Program(tamsel::Dictionary& dict) : dict_(dict) {}

    /// Loads the settings and initialises the libraries. A settings file that cannot be read
    /// is reported, and then left alone at the end so that nothing in it is lost.
    void start();
    /// Terminates the libraries and writes the settings file; false (after telling the user)
    /// when it could not be written.
    bool finish();

    static void initLibraries(tamsel::Dictionary& dict);
    static void killLibraries(tamsel::Dictionary& dict);

    bool settingsRead() const { return settingsRead_; }

private:
    tamsel::Dictionary& dict_;
    bool settingsRead_ = true;
    bool started_ = false;
};

} // namespace korvel
