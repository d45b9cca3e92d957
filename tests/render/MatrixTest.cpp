#include "engine/render/Matrix.h"

#include <gtest/gtest.h>

#include <type_traits>

using tarnix::Matrix33;
using tarnix::Matrix44;

namespace {

Matrix44 counting44() {
    Matrix44 result(0.0f);
    for (int i = 0; i < 16; ++i)
        result.m[i] = float(i + 1);
    return result;
}

}  // namespace

TEST(MatrixTest, IsPlainPackedFloatsInOpenGlOrder) {
    static_assert(std::is_trivially_copyable<Matrix44>::value, "copied around as plain data");
    const Matrix44 fromArguments(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_TRUE(fromArguments == counting44());

    float values[9] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    const Matrix33 fromArray(values);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(fromArray.m[i], values[i]);

    const Matrix44 zeros(0);
    for (float element : zeros.m)
        EXPECT_EQ(element, 0.0f);
}

TEST(MatrixTest, ConversionBetweenOrdersKeepsUpperLeftBlockAndZerosTheRest) {
    const Matrix33 ones(1.0f);
    const Matrix44 widened(ones);
    for (int i = 0; i < 16; ++i) {
        const bool inBlock = (i % 4) < 3 && i < 12;
        EXPECT_EQ(widened.m[i], inBlock ? 1.0f : 0.0f) << "element " << i;
    }
    EXPECT_EQ(widened.m[15], 0.0f);

    const Matrix33 narrowed(counting44());
    const Matrix33 expected(1, 2, 3, 5, 6, 7, 9, 10, 11);
    EXPECT_TRUE(narrowed == expected);
}

TEST(MatrixTest, StarIsElementByElementNotMatrixProduct) {
    const Matrix44 a = counting44();
    const Matrix44 b = counting44() + 1.0f;
    const Matrix44 product = a * b;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(product.m[i], a.m[i] * b.m[i]);

    // The identity keeps only the diagonal of x.
    const Matrix44 diagonalOnly = a.identity() * a;
    const Matrix44 expected(1, 0, 0, 0, 0, 6, 0, 0, 0, 0, 11, 0, 0, 0, 0, 16);
    EXPECT_TRUE(diagonalOnly == expected);
}

TEST(MatrixTest, IdentityAndTransposeReturnNewMatricesLeavingObjectAlone) {
    const Matrix44 original = counting44();
    Matrix44 probe = original;
    const Matrix44 identity = probe.identity();
    EXPECT_TRUE(probe == original);
    EXPECT_TRUE(identity == Matrix44(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    EXPECT_TRUE(Matrix33(0.0f).identity() == Matrix33(1, 0, 0, 0, 1, 0, 0, 0, 1));

    const Matrix44 transposed = probe.transpose();
    EXPECT_TRUE(probe == original);
    EXPECT_EQ(transposed.m[1], original.m[4]);
    EXPECT_EQ(transposed.m[4], original.m[1]);
    EXPECT_EQ(transposed.m[14], original.m[11]);
    EXPECT_TRUE(transposed.transpose() == original);
    EXPECT_TRUE(Matrix33(1, 2, 3, 4, 5, 6, 7, 8, 9).transpose() == Matrix33(1, 4, 7, 2, 5, 8, 3, 6, 9));
}

TEST(MatrixTest, ArithmeticIsElementWiseAndCompoundOperatorsReturnCopies) {
    Matrix33 m(2.0f);
    EXPECT_TRUE(m - 0.5f == Matrix33(1.5f));
    EXPECT_TRUE(m - Matrix33(3.0f) == Matrix33(-1.0f));
    EXPECT_TRUE(m * 3.0f == Matrix33(6.0f));

    (m += Matrix33(1.0f)) += Matrix33(100.0f);
    EXPECT_TRUE(m == Matrix33(3.0f));
    (m *= 2.0f) *= 100.0f;
    EXPECT_TRUE(m == Matrix33(6.0f));
    (m -= 1.0f) -= 100.0f;
    EXPECT_TRUE(m == Matrix33(5.0f));
    (m *= Matrix33(2.0f)) *= Matrix33(0.0f);
    EXPECT_TRUE(m == Matrix33(10.0f));

    m = 4.0f;
    EXPECT_TRUE(m == Matrix33(4.0f));
    Matrix33 changed = m;
    changed.m[8] = 5.0f;
    EXPECT_FALSE(changed == m);
}
