// C3D_Model: a 3D model as a list of recorded drawing commands (primitives with their vertices
// and the built-in shapes), and its text file: the version 100, the command count, then one line
// per command with the code and ten values, lines ended by CR LF.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// Command codes, in the order of the functions that add them.
enum ModelCode : int32_t {
    kModelPrimitiveBegin = 0,  // kind
    kModelPrimitiveEnd = 1,
    kModelVertex = 2,                    // x, y, z
    kModelVertexColor = 3,               // x, y, z, col, alpha
    kModelVertexTexture = 4,             // x, y, z, xtex, ytex
    kModelVertexTextureColor = 5,        // x, y, z, xtex, ytex, col, alpha
    kModelVertexNormal = 6,              // x, y, z, nx, ny, nz
    kModelVertexNormalColor = 7,         // ... col, alpha
    kModelVertexNormalTexture = 8,       // ... xtex, ytex
    kModelVertexNormalTextureColor = 9,  // x, y, z, nx, ny, nz, xtex, ytex, col, alpha
    kModelBlock = 10,                    // x1, y1, z1, x2, y2, z2, hrepeat, vrepeat
    kModelCylinder = 11,                 // ... hrepeat, vrepeat, closed, steps
    kModelCone = 12,                     // ... hrepeat, vrepeat, closed, steps
    kModelEllipsoid = 13,                // ... hrepeat, vrepeat, steps
    kModelWall = 14,                     // x1, y1, z1, x2, y2, z2, hrepeat, vrepeat
    kModelFloor = 15,                    // x1, y1, z1, x2, y2, z2, hrepeat, vrepeat
};

struct ModelCommand {
    int32_t code = 0;
    double values[10] = {};
};

class C3D_Model {
public:
    static constexpr int32_t kFileVersion = 100;

    const std::vector<ModelCommand>& Commands() const { return commands_; }
    // Appends a command; values beyond ten are ignored, missing ones are 0.
    void Add(int32_t code, std::initializer_list<double> values);
    void Clear();
    // Changes with every change of the commands (for caches of what was built from them).
    uint64_t Revision() const { return revision_; }

    // The file's text.
    std::string ToText() const;
    // Replaces the commands with those of a file's text. A version other than 100 leaves the
    // model empty. When the text breaks off or holds something that is not a number, the model
    // keeps the count it read with the commands not read all zero; a count that the text
    // cannot possibly hold (each command takes at least 22 characters) or a negative one leaves
    // it empty. True when everything was read.
    bool FromText(std::string_view text);

private:
    std::vector<ModelCommand> commands_;
    uint64_t revision_ = 0;
};

// How a model file value is written: fixed notation with four decimals, exponent notation from
// 10 000 000 000 in magnitude on.
std::string ModelValueText(double v);

}  // namespace kr
