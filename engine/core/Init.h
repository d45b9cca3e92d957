#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

class DataPack;

namespace tarnix {

struct DataFile;

// The engine object: brings the window, audio and OpenGL state up in a fixed
// order, probes the OpenGL extensions, and shuts the engine down again. It is
// also the registry of data files: which exist, where a name leads, and which
// data-pack entry carries it.
class Init {
public:
    Init();
    ~Init();
    Init(const Init&) = delete;
    Init& operator=(const Init&) = delete;

    // Window, audio device, OpenGL state, the cursor hidden when fullscreen,
    // extension probing, the listing of data/ and the loading of every data
    // file. Returns false when the window could not be opened (already
    // reported on standard error; nothing may be drawn then), or when a quit
    // request or a stop signal stopped the loading (see loadDataFiles;
    // nothing reported).
    bool init();
    // The engine's initial OpenGL state: depth test on, and eye-linear texture
    // coordinate planes equal to the eye-space position (generation itself
    // stays off; projected layers switch it on while they draw).
    void openglInit();
    // Checks the current context's extension string; see the overload.
    bool extensions();
    // Checks the given extension string (substring matches) against the
    // engine's list, clears the capability flags whose extensions are missing
    // and fetches the entry points of what remains usable. True when all three
    // flags still hold. A null string counts as empty.
    bool extensions(const char* extensionString);
    // Closes the sound device, then shuts SDL down.
    void close();
    // Kept for callers that pass argv[0]; the engine resolves data relative to
    // the working directory, so this does nothing.
    void setProgramDirectory(char* path);

    bool useShaders() const;
    bool useVertexBufferObjects() const;
    bool usePointSprites() const;

    // ---- Data-file registry

    // Rebuilds the list of data files from `directory` (slash included, as
    // "data/"): every entry name in byte order, except that the data pack
    // "datafile.dat" is read and its entries are registered in its place, in
    // pack order. Packs read stay loaded for the engine's life. Returns false,
    // after one line on standard error, when the directory cannot be listed.
    bool readDirectoryContent(const char* directory);
    // Hands every registered name to the manager of its extension (png:
    // pictures; dvm: meshes; ogg, mp3, wav: sounds; in lower or upper case),
    // in registry order, drawing the loading bar after each. Escape or
    // Alt+F4 ends the process with status 0 (exit handlers run), and so does a
    // quit request where quit requests end the program
    // (Input::setQuitEndsProgram). A quit
    // request that does not, or a caught stop signal (catchStopSignals in
    // engine/platform/Platform.h), stops the pass: false, the files after it
    // not loaded, the request left for the caller to see. The worker threads
    // are stopped before any of these.
    bool loadDataFiles();
    // "data/" + name, "data/shaders/" + name, or the name itself: text only,
    // nothing is looked up.
    std::string getDataPath(const char* name) const;
    std::string getShaderPath(const char* name) const;
    std::string getFullPath(const char* name) const;
    // The first loaded pack entry named exactly `name`, or null; valid until
    // forgetDataFiles() (a stream opened on it copies the record and shares
    // its bytes, so streams stay valid beyond that).
    DataFile* getDataPackDataFile(const char* name);
    unsigned getFileListSize() const;
    // The i-th registered name; "" at or past the end.
    std::string getDataFile(unsigned i) const;
    // From now on streams open the loose file data/<name> rather than the
    // pack's entry of that name: a file edited while the demo runs wins.
    void preferLooseFile(const char* name);
    // Empties the registry and releases every loaded pack, for tools and tests
    // that start over. Every entry record handed out becomes invalid; streams
    // opened on entries keep their bytes.
    void forgetDataFiles();

private:
    std::vector<std::string> fileList;                // registered names, relative to data/
    std::vector<std::unique_ptr<DataPack>> dataPacks; // every pack read, in reading order
    std::set<std::string> looseFilesFirst;           // names whose pack entries are passed over

    // Each starts true and is only ever cleared, by extensions().
    bool shadersAvailable = true;
    bool vertexBuffersAvailable = true;
    bool pointSpritesAvailable = true;
};

extern Init init;

}  // namespace tarnix
