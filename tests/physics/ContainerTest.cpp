#include "physics/RbGrowArray.h"
#include "physics/RbMath.h"
#include "physics/RbPool.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Element {
    int value = 42;
};

TEST(RbPool, TakesInAddressOrderAndReusesWhatIsGiven) {
    RbHeapAllocator allocator;
    RbPool<Element> pool;
    ASSERT_TRUE(pool.Create(&allocator, 3));
    EXPECT_EQ(pool.GetFreeCount(), 3);
    Element* a = pool.Take();
    Element* b = pool.Take();
    Element* c = pool.Take();
    EXPECT_EQ(pool.Take(), nullptr);
    EXPECT_EQ(pool.IndexOf(a), 0);
    EXPECT_EQ(pool.IndexOf(b), 1);
    EXPECT_EQ(pool.IndexOf(c), 2);
    EXPECT_EQ(a->value, 42);
    EXPECT_EQ(pool.GetUsedCount(), 3);
    EXPECT_EQ(pool.GetFreeCount(), 0);

    pool.Give(b);
    EXPECT_FALSE(pool.InUse(b));
    pool.Give(b);  // already free: nothing
    Element foreign;
    pool.Give(&foreign);
    pool.Give(nullptr);
    EXPECT_EQ(pool.GetFreeCount(), 1);
    std::vector<Element*> used;
    for (Element* e = pool.FirstUsed(); e != nullptr; e = pool.NextUsed(e)) {
        used.push_back(e);
    }
    EXPECT_EQ(used, (std::vector<Element*>{a, c}));
    EXPECT_EQ(pool.Take(), b);
    EXPECT_EQ(pool.IndexOf(&foreign), -1);
}

// Elements are built when first taken and each is destroyed once; a given-back element keeps
// what its last user left.
struct Counted {
    Counted() { ++built; }
    ~Counted() { ++destroyed; }
    int value = 7;
    static inline int built = 0;
    static inline int destroyed = 0;
};

TEST(RbPool, ConstructsOnFirstTake) {
    RbHeapAllocator allocator;
    {
        RbPool<Counted> pool;
        ASSERT_TRUE(pool.Create(&allocator, 1000));
        EXPECT_EQ(Counted::built, 0);
        EXPECT_EQ(pool.At(0), nullptr);
        Counted* a = pool.Take();
        Counted* b = pool.Take();
        EXPECT_EQ(Counted::built, 2);
        EXPECT_EQ(pool.At(1), b);
        EXPECT_EQ(pool.At(2), nullptr);
        a->value = 9;
        pool.Give(a);
        EXPECT_EQ(pool.Take(), a);
        EXPECT_EQ(a->value, 9);
        EXPECT_EQ(pool.IndexOf(pool.Take()), 2);
        EXPECT_EQ(Counted::built, 3);
    }
    EXPECT_EQ(Counted::destroyed, 3);
}

TEST(RbPool, EmptyPools) {
    RbHeapAllocator allocator;
    for (int capacity : {0, -5}) {
        RbPool<Element> pool;
        EXPECT_TRUE(pool.Create(&allocator, capacity));
        EXPECT_EQ(pool.Take(), nullptr);
        EXPECT_EQ(pool.GetCapacity(), 0);
    }
}

TEST(RbGrowArray, GrowthRules) {
    RbHeapAllocator allocator;
    struct Case {
        int growBy;
        std::vector<int> capacities;  // after each of five appends; -1 where the append fails
    } cases[] = {
        {2, {2, 2, 4, 4, 6}},
        {-1, {2, 2, 4, 4, 8}},
        {0, {2, 2, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.growBy);
        RbGrowArray<int> array;
        ASSERT_TRUE(array.Create(&allocator, 2, c.growBy));
        for (int i = 0; i < 5; ++i) {
            int* entry = array.Append();
            if (c.capacities[i] < 0) {
                EXPECT_EQ(entry, nullptr);
                continue;
            }
            ASSERT_NE(entry, nullptr);
            *entry = i;
            EXPECT_EQ(array.GetCapacity(), c.capacities[i]);
        }
        for (int i = 0; i < array.GetCount(); ++i) {
            EXPECT_EQ(array[i], i);
        }
    }
}

TEST(RbGrowArray, AppendRangeCopiesWhatFitsInAppendsSteps) {
    RbHeapAllocator allocator;
    const int source[7] = {10, 11, 12, 13, 14, 15, 16};
    struct Case {
        int growBy;
        int appended;  // of the 7 after one entry
        int capacity;
    } cases[] = {
        {2, 7, 8},
        {-1, 7, 8},
        {0, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.growBy);
        RbGrowArray<int> array;
        ASSERT_TRUE(array.Create(&allocator, 2, c.growBy));
        *array.Append() = 9;
        EXPECT_EQ(array.AppendRange(source, 7), c.appended);
        EXPECT_EQ(array.GetCount(), 1 + c.appended);
        EXPECT_EQ(array.GetCapacity(), c.capacity);
        EXPECT_EQ(array[0], 9);
        for (int i = 0; i < c.appended; ++i) {
            EXPECT_EQ(array[1 + i], source[i]);
        }
        EXPECT_EQ(array.AppendRange(source, 0), 0);
    }
}

TEST(RbMath, InverseAndProducts) {
    RbMatrix3 m;
    m.Rows[0] = RbVec(2, 0, 1);
    m.Rows[1] = RbVec(1, 3, 0);
    m.Rows[2] = RbVec(0, 1, 4);
    RbMatrix3 inverse;
    ASSERT_TRUE(RbInverse(m, 1e-17f, &inverse));
    const RbMatrix3 product = RbMultiply(m, inverse);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(product.Rows[i].x, i == 0, 1e-6f);
        EXPECT_NEAR(product.Rows[i].y, i == 1, 1e-6f);
        EXPECT_NEAR(product.Rows[i].z, i == 2, 1e-6f);
    }
    RbMatrix3 untouched = RbMatrix3::Diagonal(5, 5, 5);
    EXPECT_FALSE(RbInverse(RbMatrix3::Diagonal(1, 0, 1), 1e-17f, &untouched));
    EXPECT_EQ(untouched.Rows[0].x, 5.0f);

    // i·j = k in Hamilton's product.
    const RbQuaternion k = RbQuaternionMultiply({1, 0, 0, 0}, {0, 1, 0, 0});
    EXPECT_EQ(k.z, 1.0f);
    EXPECT_EQ(k.w, 0.0f);
    const RbVector n = RbNormalize(RbVec(3, 0, 4, 9));
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
}

}  // namespace
