#include "tools/datagen/DemoData.h"

#include "tools/datagen/ClosingPictures.h"
#include "tools/datagen/Music.h"
#include "tools/datagen/Pictures.h"
#include "tools/datagen/StudioMesh.h"

#include <fstream>
#include <functional>
#include <utility>
#include <vector>

namespace datagen {

namespace {

bool writeBytes(const std::string& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = path + ": cannot write the file";
        return false;
    }
    return true;
}

}  // namespace

std::string scrollerText() {
    return "KELBO VS. VISTRAL ... a real-time production on the Tarnix Engine v3 ... "
           "code, pixels and noise by the Tarnix crew ... music made by a synthesizer of forty lines, "
           "drums, bass and a lead, all in the data tool ... "
           "greetings fly out to the pixel pushers, the tracker heads, the shader wizards and everyone who "
           "still waits for the last frame of a party release ... "
           "no pictures were harmed: every one of them is drawn by program at build time ... "
           "press Escape to leave, or stay for the loop ...          ";
}

bool writeDemoData(const std::string& directory, std::string& error) {
    const std::string folder = directory + "/";
    std::string fontError;
    const Picture font = fontSheet(512, fontError);
    if (font.width == 0) {
        error = "bs_font.png: " + fontError;
        return false;
    }
    std::string titleError;
    const Picture title = titlePicture(titleError);
    if (title.width == 0) {
        error = "orvalde2006.png: " + titleError;
        return false;
    }
    const std::vector<std::pair<std::string, std::function<Picture()>>> pictures = {
        {"bs_font.png", [&font] { return font; }},
        {"orvalde2006.png", [&title] { return title; }},
        {"fcntr11.png", nightCity},
        {"naisenpaeae.png", portrait},
        {"heArt.png", [] { return heart(64); }},
        {"particle2.png", [] { return glow(32, 255, 255, 255); }},
        {"pic_aurora.png", aurora},
        {"pic_chrome.png", chrome},
        {"pic_copper.png", copper},
        {"pic_dunes.png", dunes},
        {"pic_galaxy.png", galaxy},
        {"pic_mandel.png", mandelbrot},
        {"pic_meadow.png", meadow},
        {"pic_neon.png", neonGrid},
        {"pic_planet.png", planet},
        {"pic_plasma.png", plasma},
        {"pic_reef.png", reef},
        {"pic_ridges.png", ridges},
        {"pic_sunset.png", sunset},
        {"pic_volcano.png", volcano},
        {"pic_waves.png", waves},
    };
    for (const auto& [name, draw] : pictures) {
        std::string pngError;
        if (!writePng(folder + name, draw(), pngError)) {
            error = folder + name + ": " + pngError;
            return false;
        }
    }
    return writeBytes(folder + "greeble.3ds", studioFile(greebleHead()), error) &&
           writeBytes(folder + "kelbo.ogg", encodeOgg(composeDemoMusic(), 0.4f), error) &&
           writeBytes(folder + "scrolleri.txt", scrollerText(), error);
}

}  // namespace datagen
