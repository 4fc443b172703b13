#include <gtest/gtest.h>
#include "gameobj/gameobj.h"

namespace
{
class Counted : public GameObj
{
public:
  int destroyed = 0;
  void onDestroy() override { destroyed++; }
};

TEST(BaseObject, DestroyQueuesOnce)
{
  Counted o;
  EXPECT_FALSE(o.isDestroyed());
  o.destroy();
  o.destroy();
  EXPECT_EQ(o.state, uint32_t(BaseObject::STATE_DESTROYED));
  EXPECT_EQ(o.destroyed, 1);
  ASSERT_EQ(deleted_gameobjs.size(), 1);
  EXPECT_EQ(deleted_gameobjs[0], &o);
  deleted_gameobjs.clear();

  BaseObject b;
  EXPECT_EQ(b.query(7), 0);
  EXPECT_STREQ(b.getClassName(), "BaseObject");
  EXPECT_STREQ(o.getClassName(), "GameObj");
}
} // namespace
