#include "tools/cluster.h"

void joinCluster(int&, char**&) {}
void leaveCluster() {}
ClusterPlace clusterPlace() { return {}; }
void togetherOrFail(const std::function<void()>& step) { step(); }
std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine) { return {mine}; }
double largestOfAll(double value) { return value; }
