#pragma once
// The tool's usage listing at the console width of 100, as it must print it.
#include <string>

inline const std::string kToolUsage =
    "\n"
    "Usage: umbrascope.exe -H <HMfname> -T <TMfname> -o <Outfname> -r <OutRez> -h <Height> \n"
    "        -s <TerraSize> -z <HeightZero> \n"
    "\n"
    " * -H, --HMfname=<HMfname>        HeightMap  filename\n"
    " * -T, --TMfname=<TMfname>        TreeMap  filename\n"
    "   -o, --Outfname=<Outfname>      HorizonMap  filename\n"
    "   -r, --OutRez=<OutRez>          HorizonMap rezolution\n"
    "   -h, --Height=<Height>          Height koeficient\n"
    "   -s, --TerraSize=<TerraSize>    Map size (metres)\n"
    "   -z, --HeightZero=<HeightZero>  Height Zero Point (metres)\n"
    "\n"
    " * = required parameter\n";
