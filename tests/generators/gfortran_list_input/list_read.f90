! Reads one list-directed record set from standard input and prints what the items received.
! Standard input: a first line "<kind> <count>", then the list-directed input itself.
!   kind I, R, D, L, C, Z, Y: <count> items (1 to 8) of default integer, default real, double
!   precision, default logical, CHARACTER*10, complex, double complex; kind M: one each of
!   integer, real, double precision, logical, CHARACTER*10, complex (count ignored).
! Every item starts as a sentinel so that a null value shows as the sentinel:
!   integers -999, reals -999.0, logicals .TRUE., characters '~~~~~~~~~~', complex (-999,-999).
! Output: "IOS <iostat>", then one line per item: integers I0, reals ES16.8E3 (ES26.17E3 for
! double precision), logicals T/F, characters in brackets, complex as "re im".
program list_read
  implicit none
  integer, parameter :: max_items = 8
  character(len=16) :: header
  character :: item_kind
  integer :: n, k, ios
  integer :: iv(max_items)
  real :: rv(max_items)
  double precision :: dv(max_items)
  logical :: lv(max_items)
  character(len=10) :: cv(max_items)
  complex :: zv(max_items)
  complex(kind(1.0d0)) :: yv(max_items)

  iv = -999
  rv = -999.0
  dv = -999.0d0
  lv = .true.
  cv = '~~~~~~~~~~'
  zv = (-999.0, -999.0)
  yv = (-999.0d0, -999.0d0)

  read (*, '(A)') header
  item_kind = header(1:1)
  read (header(2:), *) n
  n = max(1, min(n, max_items))

  select case (item_kind)
  case ('I')
    read (*, *, iostat=ios) (iv(k), k = 1, n)
  case ('R')
    read (*, *, iostat=ios) (rv(k), k = 1, n)
  case ('D')
    read (*, *, iostat=ios) (dv(k), k = 1, n)
  case ('L')
    read (*, *, iostat=ios) (lv(k), k = 1, n)
  case ('C')
    read (*, *, iostat=ios) (cv(k), k = 1, n)
  case ('Z')
    read (*, *, iostat=ios) (zv(k), k = 1, n)
  case ('Y')
    read (*, *, iostat=ios) (yv(k), k = 1, n)
  case ('M')
    read (*, *, iostat=ios) iv(1), rv(1), dv(1), lv(1), cv(1), zv(1)
  case default
    stop 'unknown kind'
  end select

  write (*, '(A,I0)') 'IOS ', ios
  select case (item_kind)
  case ('I')
    do k = 1, n
      write (*, '(I0)') iv(k)
    end do
  case ('R')
    do k = 1, n
      write (*, '(ES16.8E3)') rv(k)
    end do
  case ('D')
    do k = 1, n
      write (*, '(ES26.17E3)') dv(k)
    end do
  case ('L')
    do k = 1, n
      write (*, '(L1)') lv(k)
    end do
  case ('C')
    do k = 1, n
      write (*, '(3A)') '[', cv(k), ']'
    end do
  case ('Z')
    do k = 1, n
      write (*, '(2ES16.8E3)') zv(k)
    end do
  case ('Y')
    do k = 1, n
      write (*, '(2ES26.17E3)') yv(k)
    end do
  case ('M')
    write (*, '(I0)') iv(1)
    write (*, '(ES16.8E3)') rv(1)
    write (*, '(ES26.17E3)') dv(1)
    write (*, '(L1)') lv(1)
    write (*, '(3A)') '[', cv(1), ']'
    write (*, '(2ES16.8E3)') zv(1)
  end select
end program list_read
