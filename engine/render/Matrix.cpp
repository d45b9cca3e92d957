#include "engine/render/Matrix.h"

namespace tarnix {

template <int Order>
SquareMatrix<Order>::SquareMatrix(float value) {
    for (float& element : m)
        element = value;
}

template <int Order>
SquareMatrix<Order>::SquareMatrix(const float* values) {
    for (int i = 0; i < elementCount; ++i)
        m[i] = values[i];
}

template <int Order>
SquareMatrix<Order>::SquareMatrix(const SquareMatrix<7 - Order>& other) {
    const int otherOrder = 7 - Order;
    const int common = Order < otherOrder ? Order : otherOrder;
    for (int column = 0; column < common; ++column)
        for (int row = 0; row < common; ++row)
            m[column * Order + row] = other.m[column * otherOrder + row];
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::identity() const {
    SquareMatrix result(0.0f);
    for (int i = 0; i < Order; ++i)
        result.m[i * Order + i] = 1.0f;
    return result;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::transpose() const {
    SquareMatrix result(0.0f);
    for (int i = 0; i < Order; ++i)
        for (int j = 0; j < Order; ++j)
            result.m[Order * i + j] = m[Order * j + i];
    return result;
}

template <int Order>
bool SquareMatrix<Order>::operator==(const SquareMatrix& a) const {
    for (int i = 0; i < elementCount; ++i)
        if (m[i] != a.m[i])
            return false;
    return true;
}

template <int Order>
void SquareMatrix<Order>::operator=(const float& s) {
    for (float& element : m)
        element = s;
}

template <int Order>
template <typename Operation>
SquareMatrix<Order> SquareMatrix<Order>::combine(const SquareMatrix& a, Operation operation) const {
    SquareMatrix result(0.0f);
    for (int i = 0; i < elementCount; ++i)
        result.m[i] = operation(m[i], a.m[i]);
    return result;
}

template <int Order>
template <typename Operation>
SquareMatrix<Order> SquareMatrix<Order>::apply(Operation operation) const {
    SquareMatrix result(0.0f);
    for (int i = 0; i < elementCount; ++i)
        result.m[i] = operation(m[i]);
    return result;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator+(const SquareMatrix& a) const {
    return combine(a, [](float left, float right) { return left + right; });
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator-(const SquareMatrix& a) const {
    return combine(a, [](float left, float right) { return left - right; });
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator*(const SquareMatrix& a) const {
    return combine(a, [](float left, float right) { return left * right; });
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator+(const float& s) const {
    return apply([s](float element) { return element + s; });
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator-(const float& s) const {
    return apply([s](float element) { return element - s; });
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator*(const float& s) const {
    return apply([s](float element) { return element * s; });
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator+=(const SquareMatrix& a) {
    *this = *this + a;
    return *this;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator-=(const SquareMatrix& a) {
    *this = *this - a;
    return *this;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator*=(const SquareMatrix& a) {
    *this = *this * a;
    return *this;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator+=(const float& s) {
    *this = *this + s;
    return *this;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator-=(const float& s) {
    *this = *this - s;
    return *this;
}

template <int Order>
SquareMatrix<Order> SquareMatrix<Order>::operator*=(const float& s) {
    *this = *this * s;
    return *this;
}

template class SquareMatrix<4>;
template class SquareMatrix<3>;

}  // namespace tarnix
