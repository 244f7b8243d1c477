// A temporary copy of the program's working folder (res/ and the three
// shader sources), to be damaged one way or another and run in. Removed
// with the object.
#pragma once

#include "support/TempFolder.h"

#include <filesystem>
#include <string>
#include <vector>

class ScratchFolder {
public:
    // Copies from the source tree; `label` goes into the folder's name.
    explicit ScratchFolder(const std::string& label);

    const std::filesystem::path& path() const { return root; }
    std::filesystem::path file(const std::string& relative) const { return root / relative; }

    std::vector<unsigned char> read(const std::string& relative) const;
    bool write(const std::string& relative, const std::vector<unsigned char>& bytes) const;
    bool write(const std::string& relative, const std::string& text) const;
    // Removes a file or a whole folder.
    void remove(const std::string& relative) const;
    // Puts in a file's place something that is no file to read: a folder, a
    // FIFO (opening it for reading waits for a writer), or a sparse file of
    // 5 GiB (too large to read, nothing written). False when it cannot.
    bool replaceWithFolder(const std::string& relative) const;
    bool replaceWithFifo(const std::string& relative) const;
    bool replaceWithFiveGigabytes(const std::string& relative) const;

    // The working folder's image files (names relative to the folder, e.g.
    // "res/5-ball.png"), sorted, and its three shader sources.
    static std::vector<std::string> imageFiles();
    static const std::vector<std::string>& shaderFiles();
    // A file of the working folder as the source tree holds it.
    static std::vector<unsigned char> readOriginal(const std::string& relative);

private:
    testsupport::TempFolder folder;
    std::filesystem::path root;
};
