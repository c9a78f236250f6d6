#include <gtest/gtest.h>

#include "geo/gdal_tags.h"

namespace {

// Names and values come from users (band names, models); GIS tools must still read
// the XML.
TEST(GdalMetadata, ItemsThenBandsEveryTextEscaped) {
    EXPECT_EQ(geo::GdalMetadata({{"AZIMUTHS", "0.00 90.00"}, {"A&B", "<x \"y\">"}}, {"svf", "a<b&c"}),
              "<GDALMetadata>\n"
              "  <Item name=\"AZIMUTHS\">0.00 90.00</Item>\n"
              "  <Item name=\"A&amp;B\">&lt;x &quot;y&quot;&gt;</Item>\n"
              "  <Item name=\"DESCRIPTION\" sample=\"0\" role=\"description\">svf</Item>\n"
              "  <Item name=\"DESCRIPTION\" sample=\"1\" role=\"description\">a&lt;b&amp;c</Item>\n"
              "</GDALMetadata>\n");
}

}  // namespace
