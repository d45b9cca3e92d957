#pragma once

#include <type_traits>

namespace tarnix {

// A square float matrix stored exactly as OpenGL takes and returns it: m[i] is
// the i-th float of glMultMatrixf / glGetFloatv, column-major (m[0..Order-1] is
// the first column). Matrix44 and Matrix33 are the two orders the engine uses.
//
// Conventions callers rely on: `*` is the element-by-element product, not the
// matrix product; identity() and transpose() return new matrices and leave the
// object alone; the compound operators return a copy; equality is exact.
template <int Order>
class SquareMatrix {
public:
    static constexpr int elementCount = Order * Order;

    float m[elementCount] = {};

    explicit SquareMatrix(float value);             // every element = value
    explicit SquareMatrix(int value) : SquareMatrix(static_cast<float>(value)) {}
    explicit SquareMatrix(const float* values);     // values[0 .. elementCount-1]
    SquareMatrix(const SquareMatrix&) = default;
    // From the other order: the common upper-left block is copied, every other
    // element is 0 (so a Matrix44 made from a Matrix33 has m[15] == 0, not 1).
    explicit SquareMatrix(const SquareMatrix<7 - Order>& other);
    // All elements in array order: the first argument is m[0].
    template <typename... Values, typename = std::enable_if_t<sizeof...(Values) == elementCount && (elementCount > 1)>>
    SquareMatrix(Values... values) : m{static_cast<float>(values)...} {}

    SquareMatrix identity() const;
    // t.m[Order*i + j] = m[Order*j + i]
    SquareMatrix transpose() const;

    bool operator==(const SquareMatrix& a) const;
    SquareMatrix& operator=(const SquareMatrix&) = default;
    void operator=(const float& s);  // every element = s

    SquareMatrix operator+(const SquareMatrix& a) const;
    SquareMatrix operator-(const SquareMatrix& a) const;
    SquareMatrix operator*(const SquareMatrix& a) const;  // element by element
    SquareMatrix operator+(const float& s) const;
    SquareMatrix operator-(const float& s) const;
    SquareMatrix operator*(const float& s) const;

    SquareMatrix operator+=(const SquareMatrix& a);
    SquareMatrix operator-=(const SquareMatrix& a);
    SquareMatrix operator*=(const SquareMatrix& a);
    SquareMatrix operator+=(const float& s);
    SquareMatrix operator-=(const float& s);
    SquareMatrix operator*=(const float& s);

private:
    template <typename Operation>
    SquareMatrix combine(const SquareMatrix& a, Operation operation) const;
    template <typename Operation>
    SquareMatrix apply(Operation operation) const;
};

using Matrix44 = SquareMatrix<4>;
using Matrix33 = SquareMatrix<3>;

static_assert(sizeof(Matrix44) == 16 * sizeof(float), "Matrix44 must stay 16 packed floats");
static_assert(sizeof(Matrix33) == 9 * sizeof(float), "Matrix33 must stay 9 packed floats");

extern template class SquareMatrix<4>;
extern template class SquareMatrix<3>;

}  // namespace tarnix
