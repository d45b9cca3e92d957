// Reference converter for the conversion benchmark, built on lib3ds: loads a
// 3DS file and writes every mesh's vertices, texture coordinates and triangle
// indices as raw arrays.
//   bench_lib3ds_flatten IN.3ds OUT.raw

#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    Lib3dsFile* file = lib3ds_file_load(argv[1]);
    if (!file)
        return 1;
    std::vector<float> vertices;
    std::vector<float> texCoords;
    std::vector<std::uint32_t> indices;
    for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
        const auto base = static_cast<std::uint32_t>(vertices.size() / 3);
        for (Lib3dsDword i = 0; i < mesh->points; ++i)
            vertices.insert(vertices.end(), mesh->pointL[i].pos, mesh->pointL[i].pos + 3);
        for (Lib3dsDword i = 0; i < mesh->texels; ++i)
            texCoords.insert(texCoords.end(), mesh->texelL[i], mesh->texelL[i] + 2);
        for (Lib3dsDword i = 0; i < mesh->faces; ++i)
            for (int k = 0; k < 3; ++k)
                indices.push_back(base + mesh->faceL[i].points[k]);
    }
    lib3ds_file_free(file);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 1;
    std::fwrite(vertices.data(), sizeof(float), vertices.size(), out);
    std::fwrite(texCoords.data(), sizeof(float), texCoords.size(), out);
    std::fwrite(indices.data(), sizeof(std::uint32_t), indices.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
