#include "qarniocv/BackendSettings.h"

#include "gtest/gtest.h"

namespace {

// A back end's own settings, which report their destruction.
class DerivedSettings : public BackendSettings {
 public:
  explicit DerivedSettings(bool* destroyed) : _destroyed(destroyed) {}
  ~DerivedSettings() override { *_destroyed = true; }

 private:
  bool* _destroyed;
};

TEST(BackendSettings, DefaultRecordIsEmpty) {
  const BackendSettings settings;
  EXPECT_EQ(settings.getLocale(), "");
  EXPECT_FALSE(settings.getUnicode());
  EXPECT_FALSE(settings.getFastTables());
}

TEST(BackendSettings, CopiesTakeEveryFieldAndShareNothing) {
  bool destroyed = false;
  DerivedSettings source(&destroyed);
  source.setLocale("de_DE");
  source.setUnicode(true);
  source.setFastTables(true);
  const BackendSettings& base = source;
  const BackendSettings constructed(base);
  BackendSettings assigned;
  assigned = base;

  source.setLocale("fr_FR");
  source.setUnicode(false);
  source.setFastTables(false);
  for (const BackendSettings* copy :
       {&constructed, static_cast<const BackendSettings*>(&assigned)}) {
    EXPECT_EQ(copy->getLocale(), "de_DE");
    EXPECT_TRUE(copy->getUnicode());
    EXPECT_TRUE(copy->getFastTables());
  }
}

TEST(BackendSettings, DeleteThroughBaseRunsDerivedDestructor) {
  bool destroyed = false;
  BackendSettings* settings = new DerivedSettings(&destroyed);
  delete settings;
  EXPECT_TRUE(destroyed);
}

}  // namespace
