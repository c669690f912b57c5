#pragma once

#include <QString>

#include <iterator>

// Real station names the benchmarks build their generated timetables and pages from.
inline const char16_t* const kStations[] = {
    u"北京西", u"拉萨",   u"上海虹桥", u"广州南", u"西安",     u"成都东", u"重庆北", u"武汉",
    u"郑州东", u"兰州",   u"乌鲁木齐", u"哈尔滨", u"沈阳北",   u"长沙南", u"南京南", u"杭州东",
    u"昆明",   u"贵阳北", u"南宁东",   u"福州",   u"厦门北",   u"济南西", u"太原南", u"石家庄",
    u"天津南", u"合肥南", u"南昌西",   u"银川",   u"呼和浩特", u"西宁",
};
inline constexpr int kStationCount = int(std::size(kStations));

inline QString stationName(int index) {
    return QString::fromUtf16(kStations[index % kStationCount]);
}
