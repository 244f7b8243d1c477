#include "ScratchFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

const fs::path sourceRoot = TARNVALE_SOURCE_DIR;

}  // namespace

ScratchFolder::ScratchFolder(const std::string& label) : folder("badinput-" + label), root(folder.path())
{
    fs::create_directories(root / "res");
    for (const std::string& image : imageFiles()) fs::copy_file(sourceRoot / image, root / image);
    for (const std::string& shader : shaderFiles()) fs::copy_file(sourceRoot / shader, root / shader);
}

namespace {

std::vector<unsigned char> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<unsigned char> ScratchFolder::read(const std::string& relative) const
{
    return readBytes(root / relative);
}

std::vector<unsigned char> ScratchFolder::readOriginal(const std::string& relative)
{
    return readBytes(sourceRoot / relative);
}

bool ScratchFolder::write(const std::string& relative, const std::vector<unsigned char>& bytes) const
{
    std::error_code ignored;
    fs::remove_all(root / relative, ignored);
    std::ofstream out(root / relative, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool ScratchFolder::write(const std::string& relative, const std::string& text) const
{
    return write(relative, std::vector<unsigned char>(text.begin(), text.end()));
}

void ScratchFolder::remove(const std::string& relative) const
{
    std::error_code ignored;
    fs::remove_all(root / relative, ignored);
}

bool ScratchFolder::replaceWithFolder(const std::string& relative) const
{
    remove(relative);
    return ::mkdir(file(relative).c_str(), 0755) == 0;
}

bool ScratchFolder::replaceWithFifo(const std::string& relative) const
{
    remove(relative);
    return ::mkfifo(file(relative).c_str(), 0644) == 0;
}

bool ScratchFolder::replaceWithFiveGigabytes(const std::string& relative) const
{
    return write(relative, std::string()) && ::truncate(file(relative).c_str(), 5ll << 30) == 0;
}

std::vector<std::string> ScratchFolder::imageFiles()
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(sourceRoot / "res"))
        if (entry.path().extension() == ".png") names.push_back("res/" + entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string>& ScratchFolder::shaderFiles()
{
    static const std::vector<std::string> names = {"superellipsoid.vsh", "superellipsoid.psh", "textfont.vsh"};
    return names;
}
