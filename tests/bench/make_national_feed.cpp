// Writes a GTFS feed at the size of a national railway network into a folder: about 3,300
// stations, 11,000 trips and 200,000 stop times, with parent stations and their platforms,
// calendar exceptions, a few frequency-based trips and times past 24:00. The same seed always
// gives the same bytes, so figures measured on it compare across runs and machines.
//
// It also writes bench_queries.txt (not a GTFS file; readers ignore it): station pairs with a
// through train, pairs that need a change, stations and train numbers for the benchmark.
//
// usage: make_national_feed FOLDER [SEED]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kStations = 3300;
constexpr int kRoutes = 1100;
constexpr int kTripsPerRoute = 10; // 11,000 trips
constexpr int kMinStops = 8;       // 8..28 stops: about 18 a trip, 200,000 stop times
constexpr int kMaxStops = 28;
constexpr int kFrequencyTrips = 40;             // trips that run every headway instead of once
constexpr const char* kServiceDay = "20260601"; // a Monday inside every calendar below

// Splitmix64: fixed output on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(uint64_t seed)
        : m_state(seed) {}
    uint64_t next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % uint64_t(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); } // inclusive
    double unit() { return double(next() >> 11) / double(1ull << 53); }

private:
    uint64_t m_state;
};

// Real cities first (with the polyphonic readings a station list must get right), then
// names composed the way many county towns are named.
const char* const kCities[] = {
    "北京",   "上海", "广州",   "深圳",   "天津",        "重庆", "成都",     "武汉",   "西安",
    "南京",   "杭州", "长沙",   "长春",   "厦门",        "蚌埠", "六安",     "乐山",   "朝阳",
    "郑州",   "济南", "沈阳",   "哈尔滨", "昆明",        "贵阳", "南宁",     "福州",   "南昌",
    "合肥",   "太原", "石家庄", "兰州",   "西宁",        "银川", "乌鲁木齐", "拉萨",   "呼和浩特",
    "长治",   "番禺", "单县",   "乐清",   "大理",        "曲靖", "六盘水",   "吐鲁番", "那曲",
    "都匀",   "包头", "大同",   "宝鸡",   "洛阳",        "徐州", "无锡",     "苏州",   "温州",
    "宁波",   "台州", "丽水",   "衢州",   "九江",        "赣州", "株洲",     "衡阳",   "岳阳",
    "常德",   "宜昌", "襄阳",   "十堰",   "汉中",        "延安", "榆林",     "庆阳",   "天水",
    "嘉峪关", "酒泉", "哈密",   "库尔勒", "满洲里-口岸",
};
const char* const kFirst[] = {"安", "宁", "平", "阳", "清", "兴", "新", "丰", "德", "永",
                              "泰", "福", "华", "昌", "龙", "金", "云", "石", "临", "白",
                              "黄", "青", "定", "武", "长", "重", "乐", "广", "嘉", "开",
                              "明", "宝", "东", "西", "南", "北", "高", "三", "双", "沙"};
const char* const kSecond[] = {"州", "阳", "安", "宁", "山", "江", "城", "平",
                               "口", "原", "川", "门", "岭", "台", "关", "坪",
                               "店", "庄", "集", "沟", "桥", "湾", "营", "河"};
const char* const kSuffixes[] = {"", "东", "西", "南", "北"};

struct Station {
    std::string id, name;
    double lat = 0, lon = 0;
    int platforms = 0; // 0: a stop of its own; else a parent station with this many platforms
};

std::vector<Station> makeStations(Random& random) {
    std::vector<std::string> bases(std::begin(kCities), std::end(kCities));
    for (const char* a : kFirst)
        for (const char* b : kSecond)
            if (std::string(a) != b)
                bases.push_back(std::string(a) + b);
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const char* suffix : kSuffixes)
        for (const std::string& base : bases)
            if (seen.insert(base + suffix).second)
                names.push_back(base + suffix);
    // Keep the real cities, pick the rest at random.
    const size_t real = std::size(kCities);
    for (size_t i = real; i + 1 < names.size(); ++i)
        std::swap(names[i], names[i + size_t(random.below(int(names.size() - i)))]);
    names.resize(kStations);

    std::vector<Station> stations;
    for (int i = 0; i < kStations; ++i) {
        Station s;
        s.id = "S";
        s.id += std::to_string(10000 + i); // not "S" + ...: GCC 12 -O3 warns falsely on it
        s.name = names[size_t(i)];
        s.lat = 21.0 + random.unit() * 25.0;
        s.lon = 85.0 + random.unit() * 40.0;
        s.platforms = random.below(3) == 0 ? random.between(2, 4) : 0;
        stations.push_back(s);
    }
    return stations;
}

double kilometres(const Station& a, const Station& b) {
    constexpr double rad = 3.14159265358979 / 180.0;
    const double dlat = (b.lat - a.lat) * rad, dlon = (b.lon - a.lon) * rad;
    const double h =
        std::sin(dlat / 2) * std::sin(dlat / 2) +
        std::cos(a.lat * rad) * std::cos(b.lat * rad) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * 6371.0 * std::asin(std::sqrt(h));
}

// A line: nearby stations in order along a random direction, as a real line runs.
std::vector<int> makeLine(const std::vector<Station>& stations, Random& random) {
    const Station& centre = stations[size_t(random.below(kStations))];
    std::vector<int> near;
    for (int i = 0; i < kStations; ++i)
        if (kilometres(centre, stations[size_t(i)]) < 250.0)
            near.push_back(i);
    const int stops = std::min<int>(int(near.size()), random.between(kMinStops, kMaxStops));
    for (int i = 0; i < stops; ++i)
        std::swap(near[size_t(i)], near[size_t(i + random.below(int(near.size()) - i))]);
    near.resize(size_t(stops));
    const double angle = random.unit() * 6.2831853;
    const double dx = std::cos(angle), dy = std::sin(angle);
    std::sort(near.begin(), near.end(), [&](int a, int b) {
        const Station &p = stations[size_t(a)], &q = stations[size_t(b)];
        return p.lon * dx + p.lat * dy < q.lon * dx + q.lat * dy;
    });
    return near;
}

std::string clock(int seconds) { // HH:MM:SS, hours past 24 kept
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

struct Writer {
    std::ofstream out;
    Writer(const std::filesystem::path& path, const char* header)
        : out(path, std::ios::binary) {
        out << header << '\n';
    }
};

struct Line {
    std::vector<int> stops;
    char letter;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_national_feed FOLDER [SEED]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "make_national_feed: cannot create %s\n", argv[1]);
        return 1;
    }
    Random random(argc == 3 ? std::stoull(argv[2]) : 20260601ull);
    const std::vector<Station> stations = makeStations(random);

    Writer agency(folder / "agency.txt", "agency_id,agency_name,agency_url,agency_timezone");
    agency.out << "CR,国家铁路示例,https://example.org/,Asia/Shanghai\n";

    Writer stops(folder / "stops.txt",
                 "stop_id,stop_name,stop_lat,stop_lon,location_type,parent_station");
    for (const Station& s : stations) {
        char where[48];
        std::snprintf(where, sizeof where, "%.5f,%.5f", s.lat, s.lon);
        stops.out << s.id << ',' << s.name << ',' << where << ',' << (s.platforms ? "1" : "")
                  << ",\n";
        for (int p = 1; p <= s.platforms; ++p)
            stops.out << s.id << '-' << p << ',' << s.name << p << "站台," << where << ",0," << s.id
                      << '\n';
    }

    // A few stations carry the feed's own romanisation.
    Writer translations(folder / "translations.txt",
                        "table_name,field_name,language,translation,record_id");
    translations.out << "stops,stop_name,zh-Latn,Běijīng,S10000\n"
                     << "stops,stop_name,zh-Latn,Chóngqìng,S10005\n";

    Writer calendar(folder / "calendar.txt", "service_id,monday,tuesday,wednesday,thursday,"
                                             "friday,saturday,sunday,start_date,end_date");
    calendar.out << "daily,1,1,1,1,1,1,1,20260101,20261231\n"
                 << "weekdays,1,1,1,1,1,0,0,20260101,20261231\n"
                 << "weekends,0,0,0,0,0,1,1,20260101,20261231\n"
                 << "summer,1,1,1,1,1,1,1,20260701,20260831\n";
    Writer dates(folder / "calendar_dates.txt", "service_id,date,exception_type");
    dates.out << "weekends," << kServiceDay << ",1\n" // a holiday Monday runs the weekend trains
              << "weekdays," << kServiceDay << ",2\n"
              << "summer," << kServiceDay << ",1\n"
              << "daily,20261001,2\n"
              << "extra," << kServiceDay << ",1\n"; // a service that exists only here

    Writer routes(folder / "routes.txt", "route_id,agency_id,route_short_name,route_type");
    Writer trips(folder / "trips.txt", "route_id,service_id,trip_id,trip_short_name");
    Writer times(folder / "stop_times.txt",
                 "trip_id,arrival_time,departure_time,stop_id,stop_sequence");
    Writer frequencies(folder / "frequencies.txt", "trip_id,start_time,end_time,headway_secs");
    const char* const services[] = {"daily",    "daily",  "daily", "weekdays",
                                    "weekends", "summer", "extra"};
    const char letters[] = {'G', 'D', 'C', 'Z', 'T', 'K'};
    const double kmPerHour[] = {250, 180, 160, 120, 100, 80};

    std::vector<Line> lines;
    std::vector<std::string> numbers;
    int trip = 0;
    for (int r = 0; r < kRoutes; ++r) {
        const int kind = random.below(int(std::size(letters)));
        Line line{makeLine(stations, random), letters[kind]};
        routes.out << 'R' << r << ",CR," << line.letter << "线" << r << ",2\n";
        for (int t = 0; t < kTripsPerRoute; ++t, ++trip) {
            const bool back = t % 2 == 1;
            std::vector<int> order = line.stops;
            if (back)
                std::reverse(order.begin(), order.end());
            std::string id = "T";
            id += std::to_string(trip);
            numbers.push_back(std::string(1, line.letter));
            numbers.back() += std::to_string(trip + 1);
            trips.out << 'R' << r << ',' << services[random.below(int(std::size(services)))] << ','
                      << id << ',' << numbers.back() << '\n';
            int at = random.between(5 * 3600, 23 * 3600 + 50 * 60) / 60 * 60;
            for (size_t s = 0; s < order.size(); ++s) {
                const Station& station = stations[size_t(order[s])];
                if (s > 0) {
                    const double km = kilometres(stations[size_t(order[s - 1])], station);
                    at += std::max(300, int(km / kmPerHour[kind] * 3600) / 60 * 60);
                }
                const int dwell = (s == 0 || s + 1 == order.size()) ? 0 : 120;
                const std::string stop =
                    station.platforms ? station.id + "-" + std::to_string(1 + t % station.platforms)
                                      : station.id;
                times.out << id << ',' << clock(at) << ',' << clock(at + dwell) << ',' << stop
                          << ',' << s + 1 << '\n';
                at += dwell;
            }
            if (trip % (kRoutes * kTripsPerRoute / kFrequencyTrips) == 0)
                frequencies.out << id << ",06:00:00,22:00:00,3600\n";
        }
        lines.push_back(line);
    }

    // Query material for the benchmark: names of through pairs (same line, in order), of
    // pairs needing a change (lines sharing a station), stations, and train numbers.
    std::ofstream queries(folder / "bench_queries.txt", std::ios::binary);
    auto name = [&](int index) { return stations[size_t(index)].name; };
    for (int i = 0; i < 200; ++i) {
        const Line& line = lines[size_t(random.below(kRoutes))];
        const size_t a = size_t(random.below(int(line.stops.size()) - 1));
        const size_t b = a + 1 + size_t(random.below(int(line.stops.size() - a - 1)));
        queries << "between\t" << name(line.stops[a]) << '\t' << name(line.stops[b]) << '\n';
        queries << "station\t" << name(line.stops[a]) << '\n';
        queries << "train\t" << numbers[size_t(random.below(int(numbers.size())))] << '\n';
    }
    std::vector<std::set<int>> linesAt(kStations);
    for (size_t l = 0; l < lines.size(); ++l)
        for (int s : lines[l].stops)
            linesAt[size_t(s)].insert(int(l));
    int transfers = 0;
    for (int c = 0; c < kStations && transfers < 200; ++c) {
        if (linesAt[size_t(c)].size() < 2)
            continue;
        const Line& first = lines[size_t(*linesAt[size_t(c)].begin())];
        const Line& second = lines[size_t(*linesAt[size_t(c)].rbegin())];
        const int from = first.stops.front(), to = second.stops.back();
        bool through = false;
        for (int l : linesAt[size_t(from)])
            through = through || linesAt[size_t(to)].count(l) > 0;
        if (from != to && from != c && to != c && !through) {
            queries << "transfer\t" << name(from) << '\t' << name(to) << '\n';
            ++transfers;
        }
    }
    std::printf("make_national_feed: %d stations, %d trips, service day %s, in %s\n", kStations,
                trip, kServiceDay, argv[1]);
    return 0;
}
